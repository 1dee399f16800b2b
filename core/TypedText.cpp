#include "TypedText.h"

#include "ByteList.h"

namespace quorvane {

CharVerdict JudgeTypedChar(int format, char16_t ch)
{
    if (format == ModeString) {
        return {true, ch};
    }
    const bool common = (ch >= u'0' && ch <= u'9') || ch == u';' || ch == u' ';
    if (format == ModeDecimal) {
        return {common, ch};
    }
    const char16_t upper = ch >= u'a' && ch <= u'f' ? char16_t(ch - u'a' + u'A') : ch;
    return {common || (upper >= u'A' && upper <= u'F'), upper};
}

bool AdmitPastedText(int format, std::span<char16_t> text)
{
    if (format == ModeString) {
        return true;
    }
    for (char16_t& ch : text) {
        if (ch == u'\t' || ch == u'\r' || ch == u'\n') {
            continue;
        }
        const CharVerdict verdict = JudgeTypedChar(format, ch);
        if (!verdict.accepted) {
            return false;
        }
        ch = verdict.entered;
    }
    return true;
}

MessageId RefusalFor(int format)
{
    return format == ModeDecimal ? MessageId::NeedDecimal : MessageId::NeedHex;
}

} // namespace quorvane
