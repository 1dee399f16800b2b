#include "HexWords.h"

#include "ReadNumber.h"

namespace quorvane {

std::vector<std::string_view> BlankSeparatedWords(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ' || text[at] == '\t') {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t') {
            ++end;
        }
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

std::optional<std::uint8_t> HexByteWord(std::string_view word)
{
    if (word.empty() || word.size() > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : word) {
        if (DigitValue(c) >= 16) {
            return std::nullopt;
        }
        value = value * 16 + DigitValue(c);
    }
    return static_cast<std::uint8_t>(value);
}

} // namespace quorvane
