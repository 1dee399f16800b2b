#include "Rs485.h"

#include <cerrno>
#include <cstring>
#include <linux/serial.h>

namespace quorvane {

void ToDriverRs485(const Rs485Settings& settings, serial_rs485& driver)
{
    driver = {};
    if (!settings.enabled) {
        return;
    }
    driver.flags = SER_RS485_ENABLED |
                   (settings.rtsHighWhileSending ? SER_RS485_RTS_ON_SEND : SER_RS485_RTS_AFTER_SEND);
    driver.delay_rts_before_send = static_cast<__u32>(settings.delayBeforeMs);
    driver.delay_rts_after_send = static_cast<__u32>(settings.delayAfterMs);
}

Rs485Settings FromDriverRs485(const serial_rs485& driver)
{
    Rs485Settings settings;
    settings.enabled = (driver.flags & SER_RS485_ENABLED) != 0;
    settings.rtsHighWhileSending = (driver.flags & SER_RS485_RTS_ON_SEND) != 0;
    settings.delayBeforeMs = static_cast<int>(driver.delay_rts_before_send);
    settings.delayAfterMs = static_cast<int>(driver.delay_rts_after_send);
    return settings;
}

std::string Rs485RefusalText(int error)
{
    if (error == ENOTTY || error == EINVAL || error == EOPNOTSUPP) {
        return "此端口的驱动不支持 RS-485 收发控制，已按普通串口打开";
    }
    return std::string("设置 RS-485 收发控制失败：") + std::strerror(error) + "，已按普通串口打开";
}

std::string Rs485Text(const Rs485Settings& settings)
{
    return std::string("RS-485 RTS ") + (settings.rtsHighWhileSending ? "发送时高" : "发送时低") +
           " 前 " + std::to_string(settings.delayBeforeMs) + " ms 后 " +
           std::to_string(settings.delayAfterMs) + " ms";
}

} // namespace quorvane
