#include "RecordLine.h"

namespace quorvane {

namespace {

std::string_view EventWord(RecordEvent event)
{
    switch (event) {
    case RecordEvent::Sent:
        return "发送";
    case RecordEvent::Received:
        return "接收";
    case RecordEvent::Timeout:
        return "接收超时";
    case RecordEvent::Overflow:
        return "接收字节数超限";
    case RecordEvent::Break:
        return "接收到Break";
    case RecordEvent::BreakSent:
        return "发送Break";
    case RecordEvent::ReplyChecked:
        return "应答";
    case RecordEvent::ParityError:
        return "奇偶校验错误";
    case RecordEvent::AutoAnswer:
        return "自动应答";
    case RecordEvent::PortOpened:
        return "串口打开";
    case RecordEvent::PortLost:
        return "串口断开";
    case RecordEvent::Reconnecting:
        return "等待重新连接";
    case RecordEvent::Reconnected:
        return "重新连接";
    case RecordEvent::LinePulse:
        return "脉冲";
    case RecordEvent::PortClosed:
        break;
    }
    return "串口关闭";
}

} // namespace

std::string RecordLine(std::string_view timestamp, RecordEvent event, const ByteList& bytes,
                       std::string_view detail)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::string_view word = EventWord(event);
    std::string line;
    line.reserve(timestamp.size() + word.size() + detail.size() + bytes.size() * 3 + 3);
    line.append(timestamp).append(" ").append(word);
    if (!detail.empty()) {
        line.append(" ").append(detail);
    }
    for (std::uint8_t b : bytes) {
        line.push_back(' ');
        line.push_back(kDigits[b >> 4]);
        line.push_back(kDigits[b & 0x0F]);
    }
    line.push_back('\n');
    return line;
}

} // namespace quorvane
