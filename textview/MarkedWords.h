#pragma once

#include "ByteSpan.h"

#include <QColor>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane
{

// Words of the tool's own that a view shows in a colour of their own: a
// word opens with a given text (" [校验正确") and runs to the next ']' on
// its row. Only text outside the bytes received or sent is looked at, so
// bytes that happen to read as such words stay plain. The text is unchanged.
class MarkedWords
{
public:
    struct Word {
        std::string opening; // UTF-8
        QColor color;
    };
    struct Run {
        std::size_t begin; // byte offsets in the row
        std::size_t end;
        QColor color;
    };

    void setWords(std::vector<Word> words) { words_ = std::move(words); }
    bool empty() const { return words_.empty(); }

    // The coloured runs of a row's text that starts at position `at`, given
    // the stretches showing bytes that reach into the row.
    std::vector<Run> runs(std::string_view row, std::uint64_t at,
                          const std::vector<ByteSpan>& bytes) const;

private:
    std::vector<Word> words_;
};

} // namespace quorvane
