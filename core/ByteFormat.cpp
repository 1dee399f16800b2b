#include "ByteFormat.h"

#include "CodePage.h"

#include <charconv>

namespace quorvane {

namespace {

void AppendDecimal(std::string& out, std::uint8_t b)
{
    char buf[4];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<unsigned>(b));
    (void)ec;
    out.append(buf, end);
}

void AppendHex(std::string& out, std::uint8_t b)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    if (b >= 0x10) {
        out.push_back(digits[b >> 4]);
    }
    out.push_back(digits[b & 0x0F]);
}

} // namespace

void StartSendLine(TextSink& view) { view.Append(view.IsEmpty() ? "  " : "\r\n  "); }

std::string FrameText(int mode, const ByteList& bytes)
{
    std::string out;
    out.reserve(bytes.size() * 4);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t b = bytes[i];
        switch (mode) {
        case ModeString:
            AppendUtf8(out, b == 0 ? U' ' : ByteToChar(b));
            break;
        case ModeDecimal:
            out.push_back(' ');
            AppendDecimal(out, b);
            break;
        case ModeHex:
            if (i > 0) {
                out.push_back(' ');
            }
            AppendHex(out, b);
            break;
        default:
            return {};
        }
    }
    return out;
}

void AppendFrameText(int mode, const ByteList& bytes, TextSink& view)
{
    view.Append(FrameText(mode, bytes));
}

void AppendReceivedByte(int mode, std::uint8_t byte, std::string& out)
{
    switch (mode) {
    case ModeString:
        if (byte != 0) {
            AppendUtf8(out, ByteToChar(byte));
        }
        break;
    case ModeDecimal:
        out.push_back(' ');
        AppendDecimal(out, byte);
        break;
    case ModeHex:
        AppendHex(out, byte);
        out.push_back(' ');
        break;
    default:
        break;
    }
}

std::string ReceiveHeaderText(bool viewEmpty, std::string_view timeOfDay)
{
    std::string out = viewEmpty ? "" : "\r\n";
    out.append(timeOfDay);
    out.append("接收：");
    return out;
}

} // namespace quorvane
