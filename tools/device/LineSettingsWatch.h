#pragma once

#include "ClientLineSettings.h"
#include "Clock.h"

#include <optional>
#include <string>

namespace quorvane::device {

// Notices when a client changes the line settings of the port. Nothing tells
// a pty master about a change, so the settings are read again every
// interval: one ioctl, cheap enough to do for as long as the device runs.
class LineSettingsWatch
{
public:
    static constexpr Milliseconds interval{20};

    // `fd`: the pty master. What it reads now is what the device set up.
    LineSettingsWatch(int fd, TimePoint now);

    // Reads the settings when the interval has passed; their text when they
    // differ from the last ones seen.
    std::optional<std::string> Check(TimePoint now);
    TimePoint NextDeadline() const { return lastCheck_ + interval; }

private:
    int fd_;
    TimePoint lastCheck_;
    std::optional<ClientLineSettings> seen_;
};

} // namespace quorvane::device
