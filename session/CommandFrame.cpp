#include "CommandFrame.h"

#include "FrameBuilder.h"
#include "ProtocolFrame.h"
#include "SendTextParser.h"
#include "SharedSettings.h"
#include "TextCodec.h"

namespace quorvane {

QString WithLineBreaks(QString text, int lineBreak)
{
    static const QString breaks[] = {QStringLiteral("\r\n"), QStringLiteral("\n"),
                                     QStringLiteral("\r")};
    text.replace(QChar(u'\n'), breaks[lineBreak >= 0 && lineBreak < 3 ? lineBreak : 0]);
    return text;
}

ByteOutcome ParseSendData(const QString& text, int format, const SharedSettings& settings,
                          RangeFlags& flags)
{
    if (format != ModeString || settings.TextEncoding == EncodingSingleByte) {
        SharedSettings asTyped = settings;
        asTyped.opt2 = format;
        if (settings.protocol.kind != ProtocolCustom) {
            asTyped.PreprocessOn = 0; // the frame format's preprocessing is not the protocol's
        }
        return ParseSendText(ToUtf8(text), asTyped, flags);
    }
    std::optional<ByteList> bytes = EncodeText(settings.TextEncoding, text);
    if (!bytes) {
        flags.ByteRangeError = true; // a character the encoding has no code for
        return ByteOutcome::Failure(MessageId::ByteRange);
    }
    return ByteOutcome::Success(std::move(*bytes));
}

ByteOutcome BuildSendFrame(const QString& text, int format, const SharedSettings& settings,
                           RangeFlags& flags)
{
    const ByteOutcome data = ParseSendData(text, format, settings, flags);
    if (!data.ok) {
        return data;
    }
    if (settings.protocol.kind != ProtocolCustom) {
        ProtocolBuild built = BuildProtocolFrame(data.bytes, settings.protocol);
        if (!built.frame) {
            ByteOutcome failed = ByteOutcome::Failure(MessageId::ProtocolFrameInvalid);
            failed.problem = std::move(built.problem);
            return failed;
        }
        return ByteOutcome::Success(std::move(*built.frame));
    }
    ByteOutcome frame = BuildFrame(data.bytes, settings);
    if (!frame.ok) {
        flags.ByteRangeError = true; // a count that does not fit its byte
    }
    return frame;
}

} // namespace quorvane
