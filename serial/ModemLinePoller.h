#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quorvane {

// Reads the modem lines of an open port on a thread of its own, about ten
// times a second, and keeps the last lines read at hand. On a USB adapter
// each read is a request to the device that can take seconds; the window
// asks last() and never waits for one.
class ModemLinePoller {
public:
    // TIOCM_* bits of the lines, or nothing on a port without them.
    using Reader = std::function<std::optional<int>(int fd)>;

    // Reads through a duplicate of fd, which the thread closes when it ends.
    ModemLinePoller(int fd, Reader reader,
                    std::chrono::milliseconds every = std::chrono::milliseconds(100));
    // Stops the thread, waiting a moment (50 ms at most) for it to close its
    // descriptor; a read under way that takes longer is not waited for: the
    // thread ends by itself once that read returns.
    ~ModemLinePoller();
    ModemLinePoller(const ModemLinePoller&) = delete;
    ModemLinePoller& operator=(const ModemLinePoller&) = delete;

    // The lines of the last read; nothing before the first read has
    // returned, and on a port without lines.
    std::optional<int> last() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace quorvane
