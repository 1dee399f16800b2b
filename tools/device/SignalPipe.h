#pragma once

namespace quorvane::device {

// Turns SIGINT, SIGTERM and SIGHUP into a readable pipe, so the poll loop
// wakes up and the device can close down in order (removing its link).
// SIGPIPE is ignored: a closed log reader must not kill the device. Only one
// may exist at a time.
class SignalPipe
{
public:
    SignalPipe(); // throws std::system_error
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    int ReadFd() const { return readFd_; }

private:
    static void OnSignal(int signal);
    void InstallHandlers();

    static int writeFdForHandler_;
    int readFd_ = -1;
    int writeFd_ = -1;
};

} // namespace quorvane::device
