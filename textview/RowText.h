#pragma once

#include "TextLines.h"

#include <QString>
#include <cstdint>
#include <string>

namespace quorvane
{

// Calls step(byteIndex, length, width) for each character of a row's bytes,
// until step returns false.
template <typename Step> void ForEachChar(const std::string& bytes, GlyphWidths& widths, Step step)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t ch = p[i];
        std::size_t n = 1;
        if (ch >= 0x80) {
            n = DecodeUtf8(p + i, bytes.size() - i, ch);
            if (n == 0) {
                ch = 0xFFFD;
                n = 1;
            }
        }
        if (!step(i, n, widths(ch))) {
            return;
        }
        i += n;
    }
}

// The run of non-blanks (or of blanks) holding pos within its line, looked
// for at most kWordReach bytes either way (an endless run of one letter is
// not read whole) and cut there between characters: [begin, end).
constexpr std::uint64_t kWordReach = 4096;
struct ByteRange {
    std::uint64_t begin;
    std::uint64_t end;
};
ByteRange WordAround(const TextLines& lines, std::uint64_t pos);

// The text of a row as painted: tabs show as blanks.
QString ShownText(const std::string& bytes);

// The text [begin, end) as one string, made once at its final size: a copy
// of a large selection holds the text once, beside the pages.
QString TextBetween(const TextLines& lines, std::uint64_t begin, std::uint64_t end);

} // namespace quorvane
