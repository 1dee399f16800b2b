#include "Utf8.h"

#include <cstring>

namespace quorvane
{

std::size_t DecodeUtf8(const unsigned char* data, std::size_t size, char32_t& ch)
{
    const unsigned char b0 = data[0];
    if (b0 < 0x80) {
        ch = b0;
        return 1;
    }
    std::size_t n = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        ch = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        ch = b0 & 0x0F;
        if (b0 == 0xE0) {
            low = 0xA0; // no overlong forms
        } else if (b0 == 0xED) {
            high = 0x9F; // no surrogates
        }
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        ch = b0 & 0x07;
        if (b0 == 0xF0) {
            low = 0x90;
        } else if (b0 == 0xF4) {
            high = 0x8F; // nothing past U+10FFFF
        }
    } else {
        return 0;
    }
    if (size < n || data[1] < low || data[1] > high) {
        return 0;
    }
    ch = (ch << 6) | (data[1] & 0x3F);
    for (std::size_t k = 2; k < n; ++k) {
        if (!IsContinuation(data[k])) {
            return 0;
        }
        ch = (ch << 6) | (data[k] & 0x3F);
    }
    return n;
}

std::size_t ValidUtf8Prefix(const unsigned char* data, std::size_t size)
{
    std::size_t i = 0;
    while (i < size) {
        if (i + 8 <= size) {
            std::uint64_t eight = 0;
            std::memcpy(&eight, data + i, sizeof eight);
            if ((eight & 0x8080808080808080ull) == 0) {
                i += 8; // eight ASCII bytes at once
                continue;
            }
        }
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t ch = 0;
        const std::size_t n = DecodeUtf8(data + i, size - i, ch);
        if (n == 0) {
            return i;
        }
        i += n;
    }
    return size;
}

std::uint64_t Utf16Units(const char* data, std::size_t size)
{
    std::uint64_t units = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        units += static_cast<unsigned>(!IsContinuation(b)) + static_cast<unsigned>(b >= 0xF0);
    }
    return units;
}

} // namespace quorvane
