#include "PortOpenWatch.h"

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace quorvane::device {

PortOpenWatch::PortOpenWatch(const std::string& path)
    : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (fd_ >= 0 && ::inotify_add_watch(fd_, path.c_str(), IN_OPEN) < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

PortOpenWatch::~PortOpenWatch()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool PortOpenWatch::TakeOpenings()
{
    bool opened = false;
    alignas(inotify_event) char events[4096];
    for (;;) {
        const ssize_t got = fd_ >= 0 ? ::read(fd_, events, sizeof events) : -1;
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return opened;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            opened = opened || (event->mask & IN_OPEN) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace quorvane::device
