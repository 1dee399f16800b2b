#include "MarkedWords.h"

namespace quorvane
{

std::vector<MarkedWords::Run> MarkedWords::runs(std::string_view row, std::uint64_t at,
                                                const std::vector<ByteSpan>& bytes) const
{
    std::vector<Run> found;
    const auto showsBytes = [&](std::size_t offset) {
        const std::uint64_t pos = at + offset;
        for (const ByteSpan& span : bytes) {
            if (pos >= span.begin && pos < span.end) {
                return true;
            }
        }
        return false;
    };
    for (const Word& word : words_) {
        for (std::size_t from = 0;;) {
            const std::size_t begin = row.find(word.opening, from);
            if (begin == std::string_view::npos) {
                break;
            }
            const std::size_t close = row.find(']', begin + word.opening.size());
            const std::size_t end = close == std::string_view::npos ? row.size() : close + 1;
            from = begin + 1;
            if (showsBytes(begin) || showsBytes(end - 1)) {
                continue;
            }
            found.push_back({begin, end, word.color});
        }
    }
    return found;
}

} // namespace quorvane
