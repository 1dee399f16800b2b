#include "Preprocess.h"

namespace quorvane {

ByteList HexToAscii(const ByteList& data)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    ByteList out;
    out.reserve(data.size() * 2);
    for (std::uint8_t b : data) {
        out.push_back(static_cast<std::uint8_t>(digits[b >> 4]));
        out.push_back(static_cast<std::uint8_t>(digits[b & 0x0F]));
    }
    return out;
}

ByteOutcome BcdConvert(const ByteList& data, bool& bcdRangeError)
{
    ByteList out;
    out.reserve(data.size());
    for (std::uint8_t v : data) {
        if (v > 99) {
            bcdRangeError = true;
            return ByteOutcome::Failure(MessageId::BcdRange);
        }
        out.push_back(static_cast<std::uint8_t>(16 * (v / 10) + v % 10));
        bcdRangeError = false;
    }
    return ByteOutcome::Success(std::move(out));
}

} // namespace quorvane
