#pragma once

#include <string>

namespace quorvane {

// The device behind COMn: the path in environment variable QUORVANE_COMn when
// it is set and not empty, else /dev/ttyS{n-1} (COM1 is /dev/ttyS0).
std::string ComDevicePath(int n);

} // namespace quorvane
