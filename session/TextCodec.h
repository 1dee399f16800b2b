#pragma once

#include "ByteList.h"

#include <QString>
#include <QStringDecoder>
#include <optional>
#include <string>

namespace quorvane {

// Text in the encoding chosen for string input and string display, GBK or
// UTF-8 (the single-byte code page is the core's own).

// Text as the views and the core take it.
std::string ToUtf8(const QString& text);

// The bytes of a send text; nothing when a character has no code in the
// encoding.
std::optional<ByteList> EncodeText(int encoding, const QString& text);

// The text of whole bytes (a frame): invalid bytes, and the start of a
// character the bytes end in, show as U+FFFD, one each.
QString DecodeBytes(int encoding, const ByteList& bytes);

// The characters whole bytes show as in string display (UTF-8), for a find
// that looks for bytes there: nothing when some byte is no part of a whole
// character (it shows as U+FFFD) or is 00 (it shows as nothing).
std::optional<std::string> WholeCharacters(int encoding, const ByteList& bytes);

// Bytes that arrive in pieces: a character split across two reads is
// joined, and invalid bytes show as U+FFFD, one each.
class StreamDecoder {
public:
    // Starts afresh (a new reception, another encoding), forgetting what is
    // held.
    void reset(int encoding);
    QString decode(const std::uint8_t* bytes, std::size_t count);
    // The start of a character cut off that is still held, as U+FFFD; then
    // nothing is held.
    QString flush();

private:
    int encoding_ = -1;
    QStringDecoder decoder_; // GBK: holds a lead byte between reads
    // UTF-8: the start of a character cut off by the read. Qt's own UTF-8
    // state drops the byte after such a start when it is no continuation.
    QByteArray held_;
};

} // namespace quorvane
