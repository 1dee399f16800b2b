#include "PortTexts.h"

#include <algorithm>

namespace quorvane {

std::string PortSourceText(PortSource source)
{
    switch (source) {
    case PortSource::Environment:
        return "环境变量";
    case PortSource::PortFile:
        return "配置文件";
    case PortSource::Found:
        return "自动检测";
    case PortSource::Typed:
        return "手动输入";
    case PortSource::Default:
        break;
    }
    return "默认";
}

std::string DeviceStateText(DeviceState state)
{
    switch (state) {
    case DeviceState::Present:
        return "存在";
    case DeviceState::NoPermission:
        return "无权限";
    case DeviceState::Busy:
        return "被占用";
    case DeviceState::Network:
        return "网络端口";
    case DeviceState::Missing:
        break;
    }
    return "不存在";
}

std::string PortStateText(const ComPort& port)
{
    const std::string state = DeviceStateText(port.state);
    const std::string more = port.state == DeviceState::Network ? port.reached : port.holder;
    return more.empty() ? state : state + " " + more;
}

std::string NoPermissionHint()
{
    return "请将用户加入 dialout 组 (sudo adduser $USER dialout)，然后重新登录";
}

std::string PortTooltip(const ComPort& port)
{
    std::string text = "设备: " + port.device + "\n";
    if (!port.description.empty()) {
        text += "说明: " + port.description + "\n";
    }
    text += "来源: " + PortSourceText(port.source) + "\n";
    text += "状态: " + PortStateText(port);
    if (port.state == DeviceState::NoPermission) {
        text += "\n" + NoPermissionHint();
    }
    return text;
}

std::string PortListing(const PortMap& map)
{
    std::string text = "端口\t设备\t来源\t说明\t状态\n";
    for (const ComPort& port : map) {
        text += "COM" + std::to_string(port.number) + "\t" + port.device + "\t" +
                PortSourceText(port.source) + "\t" +
                (port.description.empty() ? std::string("-") : port.description) + "\t" +
                PortStateText(port) + "\n";
    }
    const bool refused = std::any_of(map.begin(), map.end(), [](const ComPort& port) {
        return port.state == DeviceState::NoPermission;
    });
    if (refused) {
        text += "无权限: " + NoPermissionHint() + "\n";
    }
    return text;
}

} // namespace quorvane
