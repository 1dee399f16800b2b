#pragma once

#include <string>

namespace quorvane::device {

// Notices a client opening the port. A pty master is told nothing when its
// slave end is opened (it only reports the hang-up once the last client has
// closed it), so the device node is watched through inotify, which reports
// every opening of it, also through a --link to it. An opening says only
// that someone opened the port: whether a client still has it open is for
// the caller to look at. Without inotify (a file system that refuses the
// watch) Works() is false and nothing is reported.
class PortOpenWatch
{
public:
    explicit PortOpenWatch(const std::string& path);
    ~PortOpenWatch();
    PortOpenWatch(const PortOpenWatch&) = delete;
    PortOpenWatch& operator=(const PortOpenWatch&) = delete;

    bool Works() const { return fd_ >= 0; }
    // Readable when an opening is waiting; -1 when the watch does not work.
    int Fd() const { return fd_; }
    // Reads every event waiting; true when one of them was an opening.
    bool TakeOpenings();

private:
    int fd_ = -1;
};

} // namespace quorvane::device
