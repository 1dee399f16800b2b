#include "LineSettingsWatch.h"

namespace quorvane::device {

LineSettingsWatch::LineSettingsWatch(int fd, TimePoint now)
    : fd_(fd), lastCheck_(now), seen_(ReadClientLineSettings(fd))
{
}

std::optional<std::string> LineSettingsWatch::Check(TimePoint now)
{
    if (now < NextDeadline()) {
        return std::nullopt;
    }
    lastCheck_ = now;
    const auto current = ReadClientLineSettings(fd_);
    if (!current || current == seen_) {
        return std::nullopt;
    }
    seen_ = current;
    return ClientLineSettingsText(*current);
}

} // namespace quorvane::device
