#include "SetupValue.h"

#include "ReadNumber.h"

namespace quorvane {

namespace {

bool IsControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

void AppendHexEscape(std::string& out, unsigned char c)
{
    static const char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 0x0F]);
}

void AppendEscaped(std::string& out, char c)
{
    switch (c) {
    case '\\':
        out += "\\\\";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    if (IsControl(static_cast<unsigned char>(c))) {
        AppendHexEscape(out, static_cast<unsigned char>(c));
    } else {
        out.push_back(c);
    }
}

// The control character named by two hexadecimal digits, or -1.
int HexControl(char high, char low)
{
    const int h = DigitValue(high);
    const int l = DigitValue(low);
    if (h > 15 || l > 15) {
        return -1;
    }
    const int c = h * 16 + l;
    return IsControl(static_cast<unsigned char>(c)) ? c : -1;
}

} // namespace

std::string EscapeSetupValue(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t lead = first == std::string_view::npos ? text.size() : first;
    const std::size_t last = text.find_last_not_of(' ');
    const std::size_t trailFrom = last == std::string_view::npos ? text.size() : last + 1;
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' && (i < lead || i >= trailFrom)) {
            out += "\\s";
        } else {
            AppendEscaped(out, text[i]);
        }
    }
    return out;
}

std::optional<std::string> UnescapeSetupValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out.push_back(value[i]);
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        switch (value[i]) {
        case '\\':
            out.push_back('\\');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 's':
            out.push_back(' ');
            break;
        case 'x': {
            const int c = i + 2 < value.size() ? HexControl(value[i + 1], value[i + 2]) : -1;
            if (c < 0) {
                return std::nullopt;
            }
            out.push_back(static_cast<char>(c));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

bool HasControlChar(std::string_view text)
{
    for (char c : text) {
        if (IsControl(static_cast<unsigned char>(c))) {
            return true;
        }
    }
    return false;
}

std::size_t BoxCharCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) {
            count += c >= 0xF0 ? 2 : 1;
        }
    }
    return count;
}

} // namespace quorvane
