#include "SetupLineReader.h"

namespace quorvane {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (c < min || c > max) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

bool HasControl(std::string_view text, bool tabAllowed)
{
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && !(tabAllowed && c == '\t')) || c == 0x7F) {
            return true;
        }
    }
    return false;
}

SetupLine Classify(std::string_view body)
{
    SetupLine line;
    if (body.front() == '[') {
        if (body.back() == ']' && body.find(']') == body.size() - 1) {
            line.kind = SetupLine::Kind::Section;
            line.name = Trimmed(body.substr(1, body.size() - 2));
        }
        return line;
    }
    const std::size_t equals = body.find('=');
    if (equals == std::string_view::npos) {
        return line;
    }
    line.name = Trimmed(body.substr(0, equals));
    line.value = Trimmed(body.substr(equals + 1));
    if (line.name.empty()) {
        return line;
    }
    const bool tabInside = line.name.find('\t') != std::string_view::npos ||
                           line.value.find('\t') != std::string_view::npos;
    line.kind = tabInside ? SetupLine::Kind::ControlChar : SetupLine::Kind::Entry;
    return line;
}

} // namespace

SetupLineReader::SetupLineReader(std::string_view text) : rest_(text)
{
    if (rest_.starts_with("\xEF\xBB\xBF")) {
        rest_.remove_prefix(3);
    }
}

std::string_view SetupLineReader::takeLine()
{
    const std::size_t end = rest_.find('\n');
    std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    ++number_;
    return line;
}

std::optional<SetupLine> SetupLineReader::next()
{
    while (!rest_.empty()) {
        const std::string_view raw = takeLine();
        SetupLine line;
        line.number = number_;
        if (!IsUtf8(raw)) {
            line.kind = SetupLine::Kind::NotUtf8;
            return line;
        }
        if (HasControl(raw, true)) {
            line.kind = SetupLine::Kind::ControlChar;
            return line;
        }
        const std::string_view body = Trimmed(raw);
        if (body.empty() || body.front() == ';' || body.front() == '#') {
            continue;
        }
        line = Classify(body);
        line.number = number_;
        return line;
    }
    return std::nullopt;
}

} // namespace quorvane
