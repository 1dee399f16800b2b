#pragma once

#include <cstdint>
#include <optional>

namespace quorvane::device {

// The output rate of the terminal behind `fd` from its termios2 record,
// which also holds rates that have no B constant. Kept apart because the
// kernel's termios2 header cannot be included beside <termios.h>.
std::optional<std::uint32_t> OutputSpeed(int fd);

} // namespace quorvane::device
