#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvane
{

inline bool IsContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// The length of the UTF-8 sequence at data[0..size), or 0 when it is not a
// valid one. Stores its code point.
std::size_t DecodeUtf8(const unsigned char* data, std::size_t size, char32_t& ch);

// The length of the valid UTF-8 prefix of data (whole sequences only).
std::size_t ValidUtf8Prefix(const unsigned char* data, std::size_t size);

// The UTF-16 units of valid UTF-8 bytes, each counted at its lead byte.
std::uint64_t Utf16Units(const char* data, std::size_t size);

} // namespace quorvane
