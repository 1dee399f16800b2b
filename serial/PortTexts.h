#pragma once

#include "PortMap.h"

#include <string>

namespace quorvane {

// "环境变量", "配置文件", "自动检测" or "默认".
std::string PortSourceText(PortSource source);
// "存在", "不存在", "无权限" or "被占用".
std::string DeviceStateText(DeviceState state);
// The state of a COMn's device with its holder: "被占用 minicom(4242)".
std::string PortStateText(const ComPort& port);
// What to do about 无权限: join the dialout group.
std::string NoPermissionHint();

// A COMn item's tooltip: device, description (when there is one), source and
// state on lines of their own, and the dialout hint under 无权限.
std::string PortTooltip(const ComPort& port);

// The table printed by --list-ports: a heading, then one line per COMn with
// port, device, source, description ("-" when none) and state separated by
// tabs; the dialout hint follows when a device refuses access.
std::string PortListing(const PortMap& map);

} // namespace quorvane
