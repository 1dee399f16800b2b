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

// How many bytes at the end of the text start a UTF-8 character that the
// next read completes: a lead byte and fewer continuations than it needs.
qsizetype Utf8CutOff(const QByteArray& text)
{
    const qsizetype size = text.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80) {
            continue; // a continuation: look further back for its lead
        }
        const int needs = byte >= 0xF0 && byte <= 0xF4   ? 4
                          : byte >= 0xE0 && byte <= 0xEF ? 3
                          : byte >= 0xC2 && byte <= 0xDF ? 2
                                                         : 1;
        return needs > back ? back : 0;
    }
    return 0;
}

// Whole UTF-8 text: every byte of a bad sequence shows as U+FFFD.
QString DecodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
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

// A character the frame's last bytes only start shows as U+FFFD, one a
// byte, as it does at the end of a reception: it is never left out.
QString DecodeBytes(int encoding, const ByteList& bytes)
{
    StreamDecoder decoder;
    decoder.reset(encoding);
    QString text = decoder.decode(bytes.data(), bytes.size());
    return text + decoder.flush();
}

// Bytes that come back from their characters are whole characters: an
// invalid byte becomes U+FFFD, which is neither GBK's nor those bytes.
std::optional<std::string> WholeCharacters(int encoding, const ByteList& bytes)
{
    const QString text = DecodeBytes(encoding, bytes);
    if (text.contains(QChar(0)) || EncodeText(encoding, text) != bytes) {
        return std::nullopt;
    }
    return ToUtf8(text);
}

void StreamDecoder::reset(int encoding)
{
    encoding_ = encoding;
    decoder_ = QStringDecoder(CodecName(encoding));
    held_.clear();
}

QString StreamDecoder::decode(const std::uint8_t* bytes, std::size_t count)
{
    const QByteArrayView piece(reinterpret_cast<const char*>(bytes), qsizetype(count));
    if (encoding_ != EncodingUtf8) {
        QString text = decoder_.decode(piece);
        return MarkInvalid(text);
    }
    QByteArray whole = held_;
    whole.append(piece);
    const qsizetype cut = Utf8CutOff(whole);
    held_ = whole.right(cut);
    whole.chop(cut);
    return DecodeUtf8(whole);
}

QString StreamDecoder::flush()
{
    if (encoding_ == EncodingUtf8) {
        const QString rest = DecodeUtf8(held_);
        held_.clear();
        return rest;
    }
    // A line feed ends whatever lead byte the decoder holds; it is taken off
    // again.
    QString rest = decoder_.decode(QByteArrayView("\n", 1));
    if (rest.endsWith(u'\n')) {
        rest.chop(1);
    }
    return MarkInvalid(rest);
}

} // namespace quorvane
