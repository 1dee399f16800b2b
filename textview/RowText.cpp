#include "RowText.h"

#include <QStringDecoder>
#include <algorithm>

namespace quorvane
{

namespace
{

bool IsBlankByte(unsigned char b)
{
    return b == ' ' || b == '\t';
}

} // namespace

ByteRange WordAround(const TextLines& lines, std::uint64_t pos)
{
    const TextLines::Line line = lines.line(lines.lineOf(pos));
    pos = std::clamp(pos, line.begin, line.end);
    const std::uint64_t low = std::max(line.begin, pos > kWordReach ? pos - kWordReach : 0);
    const std::uint64_t high = std::min(line.end, pos + kWordReach);
    const std::string bytes = lines.bytes(low, high);
    const auto at = [&](std::uint64_t p) { return static_cast<unsigned char>(bytes[p - low]); };
    const bool blank = pos < high && IsBlankByte(at(pos));
    std::uint64_t begin = pos;
    while (begin > low && IsBlankByte(at(begin - 1)) == blank) {
        --begin;
    }
    while (begin < pos && IsContinuation(at(begin))) {
        ++begin;
    }
    std::uint64_t end = pos;
    while (end < high && IsBlankByte(at(end)) == blank) {
        ++end;
    }
    while (end > pos && end < high && IsContinuation(at(end))) {
        --end;
    }
    return {begin, end};
}

QString ShownText(const std::string& bytes)
{
    QString shown = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    shown.replace(QChar(u'\t'), QChar(u' '));
    return shown;
}

QString TextBetween(const TextLines& lines, std::uint64_t begin, std::uint64_t end)
{
    begin = std::max(begin, lines.begin());
    end = std::min(end, lines.size());
    if (end <= begin) {
        return {};
    }
    // Decoded twice: once to count the units, so that the string is made
    // once at its final size, and once into it.
    const auto decodeAll = [&](auto&& into) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        for (std::uint64_t pos = begin; pos < end;) {
            const std::string_view piece = lines.piece(pos, end);
            into(decoder, QByteArrayView(piece.data(), static_cast<qsizetype>(piece.size())));
            pos += piece.size();
        }
    };
    QString scratch(static_cast<qsizetype>(PagedStore::kPageBytes + 8), Qt::Uninitialized);
    qsizetype units = 0;
    decodeAll([&](QStringDecoder& decoder, QByteArrayView bytes) {
        units += decoder.appendToBuffer(scratch.data(), bytes) - scratch.data();
    });
    QString out(units, Qt::Uninitialized);
    QChar* at = out.data();
    decodeAll([&](QStringDecoder& decoder, QByteArrayView bytes) {
        at = decoder.appendToBuffer(at, bytes);
    });
    return out;
}

} // namespace quorvane
