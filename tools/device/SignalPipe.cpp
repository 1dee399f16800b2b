#include "SignalPipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace quorvane::device {

int SignalPipe::writeFdForHandler_ = -1;

namespace {

constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void SetHandler(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

SignalPipe::SignalPipe()
{
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot create a pipe");
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
    writeFdForHandler_ = writeFd_;
    InstallHandlers();
}

SignalPipe::~SignalPipe()
{
    for (const int signal : stopSignals) {
        SetHandler(signal, SIG_DFL);
    }
    writeFdForHandler_ = -1;
    ::close(readFd_);
    ::close(writeFd_);
}

void SignalPipe::OnSignal(int /*signal*/)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(writeFdForHandler_, &byte, 1);
    errno = savedErrno;
}

void SignalPipe::InstallHandlers()
{
    for (const int signal : stopSignals) {
        SetHandler(signal, &SignalPipe::OnSignal);
    }
    SetHandler(SIGPIPE, SIG_IGN);
}

} // namespace quorvane::device
