#include "TextCodec.h"

#include "SharedSettings.h"

#include <QStringEncoder>

namespace quorvane {

namespace {

const char* CodecName(int encoding)
{
    return encoding == EncodingGbk ? "GBK" : "UTF-8";
}

// Code page 936 as the system knows it maps a lone 0xFF to a private-use
// character; no device means that, so it is shown as the invalid byte it is.
QString& MarkInvalid(QString& text)
{
    text.replace(QChar(0xF8F5), QChar(QChar::ReplacementCharacter));
    return text;
}

} // namespace

std::string ToUtf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<ByteList> EncodeText(int encoding, const QString& text)
{
    QStringEncoder encoder(CodecName(encoding), QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError() || !encoder.isValid()) {
        return std::nullopt;
    }
    return ByteList(bytes.begin(), bytes.end());
}

QString DecodeBytes(int encoding, const ByteList& bytes)
{
    QStringDecoder decoder(CodecName(encoding), QStringConverter::Flag::Stateless);
    QString text = decoder.decode(
        QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    return MarkInvalid(text);
}

void StreamDecoder::reset(int encoding)
{
    encoding_ = encoding;
    decoder_ = QStringDecoder(CodecName(encoding));
}

QString StreamDecoder::decode(const std::uint8_t* bytes, std::size_t count)
{
    QString text = decoder_.decode(
        QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(count)));
    return MarkInvalid(text);
}

} // namespace quorvane
