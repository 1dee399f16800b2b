#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace quorvane {

// Where a piece of text shows bytes: [begin, end) of it. `joined`: the bytes
// go on there from the stretch before, across the text between (the next
// row of one run of 十六进制+字符 rows, past the characters, the line break
// and the offset), so a find for bytes may cross that text.
struct ByteStretch {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool joined = false;
};

// An append-only text view: the send and receive views only ever grow at the
// end, and only their "清 空" buttons empty them. Text is UTF-8; a CR LF pair
// starts a new line.
//
// The view knows which of its text shows bytes received or sent: a find for
// bytes looks only there, never in a header, check words or the line breaks
// between frames.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual bool IsEmpty() const = 0;
    // Text of the tool's own: headers, check words, line breaks.
    virtual void Append(std::string_view text) = 0;
    // Text that shows bytes. It goes on from bytes shown right before it
    // (a reception arriving in pieces).
    virtual void AppendBytes(std::string_view text) = 0;
    // Removes the last `count` bytes and appends `text`, of which `bytes`
    // show bytes: a partial last row completed in place. The bytes removed
    // always lie in the last line, after its line break (the caller sees
    // to it).
    virtual void ReplaceEnd(std::size_t count, std::string_view text,
                            std::span<const ByteStretch> bytes) = 0;
    virtual void Clear() = 0;
};

} // namespace quorvane
