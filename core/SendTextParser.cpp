#include "SendTextParser.h"

#include "CodePage.h"
#include "Preprocess.h"
#include "ReadNumber.h"

namespace quorvane {

namespace {

bool IsSeparator(char32_t ch) { return ch == U' ' || ch == U'\r' || ch == U'\n'; }

std::string ToUtf8(const std::u32string& chars)
{
    std::string out;
    for (char32_t ch : chars) {
        AppendUtf8(out, ch);
    }
    return out;
}

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

ByteOutcome ParseByteString(const std::u32string& chars, const SharedSettings& settings,
                            RangeFlags& flags)
{
    const auto tokens = SplitTokens(chars);
    if (tokens.empty()) {
        return ByteOutcome::Failure(); // only separators: nothing to send
    }
    ByteList data;
    data.reserve(tokens.size());
    for (const auto& token : tokens) {
        const std::string text = ToUtf8(token);
        const double value = settings.opt2 == ModeDecimal ? ReadNumber(text) : ReadHexNumber(text);
        const auto byte = ToByte(value);
        if (!byte) {
            flags.ByteRangeError = true;
            return ByteOutcome::Failure(MessageId::ByteRange);
        }
        data.push_back(*byte);
        flags.ByteRangeError = false;
    }
    if (settings.PreprocessOn == 1) {
        if (settings.PreprocessKind == 0) {
            return ByteOutcome::Success(HexToAscii(data));
        }
        return BcdConvert(data, flags.BcdRangeError);
    }
    return ByteOutcome::Success(std::move(data));
}

bool IsBlankOfSpaces(const std::u32string& chars)
{
    for (char32_t ch : chars) {
        if (ch != U' ') {
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
    const std::u32string chars = SplitChars(text);
    if (settings.opt2 == ModeString) {
        return ParseString(chars, flags);
    }
    if (IsBlankOfSpaces(chars)) {
        return ByteOutcome::Failure();
    }
    return ParseByteString(chars, settings, flags);
}

} // namespace quorvane
