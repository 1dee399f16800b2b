#include "ByteFormat.h"

#include "CodePage.h"
#include "HexCharRows.h"

#include <array>
#include <charconv>
#include <cstring>
#include <vector>

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

// The text of each byte in a received-byte mode, padded to four characters,
// and its length: " 255" in decimal, "FF " in hex.
struct ByteTexts {
    std::array<std::array<char, 4>, 256> text{};
    std::array<std::uint8_t, 256> length{};
};

ByteTexts MakeByteTexts(int mode)
{
    ByteTexts t;
    for (unsigned b = 0; b < 256; ++b) {
        std::string one;
        if (mode == ModeDecimal) {
            one.push_back(' ');
            AppendDecimal(one, static_cast<std::uint8_t>(b));
        } else {
            AppendHex(one, static_cast<std::uint8_t>(b));
            one.push_back(' ');
        }
        std::memcpy(t.text[b].data(), one.data(), one.size());
        t.length[b] = static_cast<std::uint8_t>(one.size());
    }
    return t;
}

void AppendByteTexts(const ByteTexts& t, const std::uint8_t* bytes, std::size_t count,
                     std::string& out)
{
    const std::size_t at = out.size();
    out.resize(at + count * 4);
    char* p = out.data() + at;
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(p, t.text[bytes[i]].data(), 4);
        p += t.length[bytes[i]];
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

// True when none of the eight bytes is 00 or 80 to FF: each of those turns on
// the top bit of its byte, and a borrow only reaches bytes above one of them.
bool AllPlainAscii(const std::uint8_t* eight)
{
    std::uint64_t w = 0;
    std::memcpy(&w, eight, sizeof w);
    return (((w - 0x0101010101010101ull) | w) & 0x8080808080808080ull) == 0;
}

// Runs of 01 to 7F go across as they are; a zero byte adds nothing and 80
// to FF each become their own character.
void AppendStringBytes(const std::uint8_t* bytes, std::size_t count, std::string& out)
{
    std::size_t i = 0;
    while (i < count) {
        std::size_t j = i;
        while (j + 8 <= count && AllPlainAscii(bytes + j)) {
            j += 8;
        }
        while (j < count && static_cast<std::uint8_t>(bytes[j] - 1) < 0x7F) {
            ++j;
        }
        out.append(reinterpret_cast<const char*>(bytes + i), j - i);
        if (j < count && bytes[j] != 0) {
            AppendUtf8(out, ByteToChar(bytes[j]));
        }
        i = j + 1;
    }
}

} // namespace

void StartSendLine(TextSink& view) { view.Append(view.IsEmpty() ? "  " : "\r\n  "); }

std::string FrameText(int mode, const ByteList& bytes)
{
    if (mode == ModeHexChars) {
        return HexCharFrame(bytes, "  ");
    }
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
    if (mode != ModeHexChars) {
        view.AppendBytes(FrameText(mode, bytes));
        return;
    }
    // Only the rows' hex shows bytes, not their offsets or characters.
    std::vector<ByteStretch> hex;
    const std::string rows = HexCharFrame(bytes, "  ", &hex);
    view.ReplaceEnd(0, rows, hex);
}

void AppendReceivedBytes(int mode, const std::uint8_t* bytes, std::size_t count, std::string& out)
{
    static const ByteTexts decimal = MakeByteTexts(ModeDecimal);
    static const ByteTexts hex = MakeByteTexts(ModeHex);
    switch (mode) {
    case ModeString:
        AppendStringBytes(bytes, count, out);
        break;
    case ModeDecimal:
        AppendByteTexts(decimal, bytes, count, out);
        break;
    case ModeHex:
        AppendByteTexts(hex, bytes, count, out);
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
