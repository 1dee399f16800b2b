#include "Messages.h"

namespace quorvane {

namespace {

// The two port messages, naming the port as `port` gives it: "2" for COM2,
// or " /dev/ttyUSB0 " (a path stands apart from the words around it).
Message PortMessageNaming(MessageId id, const std::string& port)
{
    if (id == MessageId::Rs485Refused) {
        return {"端口" + port + "不能使用 RS-485 收发控制,已按普通串口打开", "提示",
                MessageIcon::Warning, {}};
    }
    return {"端口" + port + "已被占用或不存在,请更换端口", "警告", MessageIcon::Critical, {}};
}

} // namespace

Message MessageFor(MessageId id, int port)
{
    switch (id) {
    case MessageId::None:
        return {};
    case MessageId::ByteRange:
        return {"超出字节范围", "警告", MessageIcon::Critical, {}};
    case MessageId::BcdRange:
        return {"超出BCD码范围(0-99)", "BCD码转换", MessageIcon::Critical, {}};
    case MessageId::PortUnavailable:
        return PortMessageNaming(id, std::to_string(port));
    case MessageId::NeedDecimal:
        return {"请输入数字量", "提示", MessageIcon::Warning, {}};
    case MessageId::NeedHex:
        return {"请输入十六进制数", "提示", MessageIcon::Warning, {}};
    case MessageId::SendTextTooLong:
        return {"发送数据应不超过8192个字符", "提示", MessageIcon::Warning, {}};
    case MessageId::RcvTimeout:
        return {"接收超时,请检查相关参数设置", "提示", MessageIcon::Warning, {}};
    case MessageId::RcvOverflow:
        return {"接收字节数超限", "提示", MessageIcon::Warning, {}};
    case MessageId::BreakReceived:
        return {"接收到Break", "提示", MessageIcon::None, {}};
    case MessageId::TimerIntervalRange:
        return {"定时间隔应为0-65535之间的整数", "提示", MessageIcon::Warning, {}};
    case MessageId::RcvTimeoutRange:
        return {"接收超时时间应为0-65535之间的整数", "提示", MessageIcon::Warning, {}};
    case MessageId::RcvMaxRange:
        return {"最大接收字符数应为0-2147483647之间的整数", "提示", MessageIcon::Warning, {}};
    case MessageId::RecordOpenFailed:
        return {"无法打开记录文件,请更换文件", "警告", MessageIcon::Critical, {}};
    case MessageId::RecordWriteFailed:
        return {"写入记录文件失败,已停止记录", "警告", MessageIcon::Critical, {}};
    case MessageId::CopyTooLarge:
        return {"选中内容过大,请缩小选择范围或使用记录到文件", "提示", MessageIcon::Warning, {}};
    case MessageId::BaudRateRange:
        return {"波特率应为50-4000000之间的整数", "提示", MessageIcon::Warning, {}};
    case MessageId::SetupInvalid:
        return SetupInvalidMessage({});
    case MessageId::SetupSaveFailed:
        return {"无法保存配置文件", "警告", MessageIcon::Critical, {}};
    case MessageId::Rs485Refused:
        return PortMessageNaming(id, std::to_string(port));
    case MessageId::LatencyTimerMissing:
        return {"该串口没有可调的适配器延迟（latency_timer）", "提示", MessageIcon::None, {}};
    case MessageId::LatencyTimerDenied:
        return {"无权修改 latency_timer。可用 udev 规则每次插入时设为 1 ms，见 README。", "提示",
                MessageIcon::Warning, {}};
    case MessageId::LatencyTimerFailed:
        return {"无法修改 latency_timer", "提示", MessageIcon::Warning, {}};
    case MessageId::NetworkAddressInvalid:
        return {"网络端口应为 rfc2217://主机:端口 或 socket://主机:端口", "提示", MessageIcon::Warning, {}};
    case MessageId::ProtocolFrameInvalid:
        return {"无法组成协议帧", "提示", MessageIcon::Warning, {}};
    }
    return {};
}

Message ProtocolFrameMessage(const std::string& problem)
{
    Message message = MessageFor(MessageId::ProtocolFrameInvalid);
    if (!problem.empty()) {
        message.text += ": " + problem;
    }
    return message;
}

Message SetupSaveFailedMessage(const std::string& problem)
{
    Message message = MessageFor(MessageId::SetupSaveFailed);
    if (!problem.empty()) {
        message.text += ": " + problem;
    }
    return message;
}

Message DevicePortMessage(MessageId id, const std::string& device)
{
    return PortMessageNaming(id, " " + device + " ");
}

Message SetupInvalidMessage(const std::string& problem, const std::string& file)
{
    const std::string named = file.empty() ? std::string() : file + ": ";
    return {"配置文件无效: " + named + problem, "提示", MessageIcon::Warning, {}};
}

} // namespace quorvane
