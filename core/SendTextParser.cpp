#include "SendTextParser.h"

#include "CodePage.h"
#include "Preprocess.h"
#include "ReadNumber.h"

#include <optional>

namespace quorvane {

namespace {

bool IsSeparator(char32_t ch) { return ch == U' ' || ch == U'\r' || ch == U'\n'; }

ByteOutcome ParseString(const std::u32string& chars, RangeFlags& flags)
{
    ByteList data;
    data.reserve(chars.size());
    for (char32_t ch : chars) {
        const auto byte = CharToByte(ch);
        if (!byte) {
            // No single-byte code: refused like a value outside 0..255, never
            // replaced by a substitute byte.
            flags.ByteRangeError = true;
            return ByteOutcome::Failure(MessageId::ByteRange);
        }
        data.push_back(*byte);
    }
    return ByteOutcome::Success(std::move(data));
}

bool IsSeparatorByte(char c) { return c == ' ' || c == '\r' || c == '\n'; }

// A token made of digits of its base only, worth at most 255, is its value;
// that is almost every token typed. Anything else goes through ReadNumber.
std::optional<std::uint8_t> PlainTokenByte(std::string_view token, int base)
{
    unsigned value = 0;
    for (char c : token) {
        const int digit = DigitValue(c);
        if (digit >= base) {
            return std::nullopt;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > 255) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<std::uint8_t> TokenByte(std::string_view token, int opt2)
{
    const int base = opt2 == ModeDecimal ? 10 : 16;
    if (const auto plain = PlainTokenByte(token, base)) {
        return plain;
    }
    return ToByte(opt2 == ModeDecimal ? ReadNumber(token) : ReadHexNumber(token));
}

// Splits the UTF-8 text into tokens in place, as SplitTokens splits its
// characters: separators are single ASCII bytes, which never occur inside a
// multi-byte character, and every character that is not ASCII ends a number
// wherever it stands, so no token needs decoding or copying.
ByteOutcome ParseByteString(std::string_view text, const SharedSettings& settings,
                            RangeFlags& flags)
{
    ByteList data;
    data.reserve(text.size() / 2 + 1);
    std::size_t at = 0;
    while (at < text.size()) {
        if (IsSeparatorByte(text[at])) {
            ++at;
            continue;
        }
        const std::size_t start = at;
        while (at < text.size() && !IsSeparatorByte(text[at])) {
            ++at;
        }
        const auto byte = TokenByte(text.substr(start, at - start), settings.opt2);
        if (!byte) {
            flags.ByteRangeError = true;
            return ByteOutcome::Failure(MessageId::ByteRange);
        }
        data.push_back(*byte);
        flags.ByteRangeError = false;
    }
    if (data.empty()) {
        return ByteOutcome::Failure(); // only separators: nothing to send
    }
    if (settings.PreprocessOn == 1) {
        if (settings.PreprocessKind == 0) {
            return ByteOutcome::Success(HexToAscii(data));
        }
        return BcdConvert(data, flags.BcdRangeError);
    }
    return ByteOutcome::Success(std::move(data));
}

bool IsBlankOfSpaces(std::string_view text)
{
    for (char ch : text) {
        if (ch != ' ') {
            return false;
        }
    }
    return true;
}

} // namespace

std::u32string SplitChars(std::string_view text) { return DecodeUtf8(text); }

std::vector<std::u32string> SplitTokens(const std::u32string& chars)
{
    std::vector<std::u32string> tokens;
    std::u32string current;
    for (char32_t ch : chars) {
        if (!IsSeparator(ch)) {
            current.push_back(ch);
        } else if (!current.empty()) {
            tokens.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty()) {
        tokens.push_back(std::move(current));
    }
    return tokens;
}

ByteOutcome ParseSendText(std::string_view text, const SharedSettings& settings, RangeFlags& flags)
{
    if (text.empty()) {
        return ByteOutcome::Failure();
    }
    if (settings.opt2 == ModeString) {
        return ParseString(SplitChars(text), flags);
    }
    if (IsBlankOfSpaces(text)) {
        return ByteOutcome::Failure();
    }
    return ParseByteString(text, settings, flags);
}

} // namespace quorvane
