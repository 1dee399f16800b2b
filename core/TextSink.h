#pragma once

#include <cstddef>
#include <string_view>

namespace quorvane {

// An append-only text view: the send and receive views only ever grow at the
// end, and only their "清 空" buttons empty them. Text is UTF-8; a CR LF pair
// starts a new line.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual bool IsEmpty() const = 0;
    virtual void Append(std::string_view text) = 0;
    // Removes the last `count` bytes and appends `text`: a partial last row
    // completed in place. The bytes removed always lie in the last line,
    // after its line break (the caller sees to it).
    virtual void ReplaceEnd(std::size_t count, std::string_view text) = 0;
    virtual void Clear() = 0;
};

} // namespace quorvane
