#include "RecordLine.h"

#include <algorithm>

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

void AppendHex(std::string& out, const ByteList& bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.reserve(out.size() + bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b = bytes[i];
        if (i > 0) {
            out.push_back(' ');
        }
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
}

// A cell quoted where it holds a separator, a quote or a line break.
void AppendCell(std::string& out, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

std::string Milliseconds(std::chrono::microseconds time)
{
    const auto us = time.count();
    std::string ms = std::to_string(us / 1000) + ".";
    const std::string fraction = std::to_string(1000 + us % 1000);
    return ms + fraction.substr(1);
}

} // namespace

std::string RecordCsvHeader()
{
    return "时间,方向,字节,判定,响应(ms)\r\n";
}

std::string RecordCsvRow(const RecordRow& row)
{
    std::string out(row.timestamp);
    if (out.size() > 10 && out[10] == ' ') {
        out[10] = 'T';
    }
    out += row.sent ? ",发送," : ",接收,";
    if (row.bytes != nullptr) {
        AppendHex(out, *row.bytes);
        if (row.byteCount > row.bytes->size()) {
            out += " …(共" + std::to_string(row.byteCount) + "字节)";
        }
    }
    out += ',';
    AppendCell(out, row.verdict);
    out += ',';
    if (row.response && row.response->count() >= 0) {
        out += Milliseconds(*row.response);
    }
    out += "\r\n";
    return out;
}

bool RecordEventHasOwnRow(RecordEvent event)
{
    switch (event) {
    case RecordEvent::Sent:
    case RecordEvent::Received:
    case RecordEvent::Timeout:
    case RecordEvent::ReplyChecked:
        return false; // the frame's, the reception's and the time-out's rows say it
    default:
        return true;
    }
}

std::string RecordCsvEventRow(std::string_view timestamp, RecordEvent event,
                              const ByteList& bytes, std::string_view detail)
{
    std::string verdict;
    std::string_view direction = EventWord(event);
    if (event == RecordEvent::AutoAnswer) {
        // A frame written like any other, its rule in the verdict column.
        direction = EventWord(RecordEvent::Sent);
        verdict = std::string(EventWord(event)) + " ";
        verdict += detail.ends_with(':') ? detail.substr(0, detail.size() - 1) : detail;
    } else {
        verdict = detail;
    }
    const ByteList shown(bytes.begin(),
                         bytes.begin() + static_cast<std::ptrdiff_t>(
                                             std::min(bytes.size(), kRecordRowMaxBytes)));
    std::string out(timestamp);
    if (out.size() > 10 && out[10] == ' ') {
        out[10] = 'T';
    }
    out += ',';
    AppendCell(out, direction);
    out += ',';
    AppendHex(out, shown);
    if (bytes.size() > shown.size()) {
        out += " …(共" + std::to_string(bytes.size()) + "字节)";
    }
    out += ',';
    AppendCell(out, verdict);
    out += ",\r\n";
    return out;
}

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
