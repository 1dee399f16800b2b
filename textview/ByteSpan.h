#pragma once

#include <cstdint>

namespace quorvane
{

// A stretch of a view's text that shows bytes received or sent: positions
// [begin, end). `joined`: the bytes go on there from the stretch before,
// across the text between (one row of 十六进制+字符 to the next).
struct ByteSpan {
    std::uint64_t begin = 0;
    std::uint64_t end : 63 = 0;
    std::uint64_t joined : 1 = 0;
};

inline ByteSpan MakeByteSpan(std::uint64_t begin, std::uint64_t end, bool joined)
{
    ByteSpan span;
    span.begin = begin;
    span.end = end;
    span.joined = joined ? 1 : 0;
    return span;
}

} // namespace quorvane
