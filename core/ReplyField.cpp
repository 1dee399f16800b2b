#include "ReplyField.h"

#include "SetupValue.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quorvane {

namespace {

std::uint32_t Raw(const ReplyField& field, const std::uint8_t* bytes)
{
    std::uint32_t raw = 0;
    for (int i = 0; i < field.width; ++i) {
        const int at = field.highFirst ? i : field.width - 1 - i;
        raw = (raw << 8) | bytes[at];
    }
    return raw;
}

double Signed(std::uint32_t raw, int width)
{
    const int bits = width * 8;
    const std::int64_t value = static_cast<std::int64_t>(raw);
    const std::int64_t sign = std::int64_t{1} << (bits - 1);
    return static_cast<double>(value >= sign ? value - (sign << 1) : value);
}

bool FactorFits(double value)
{
    return std::isfinite(value) && std::fabs(value) <= kReplyFieldMaxFactor;
}

} // namespace

std::optional<double> ReadReplyField(const ReplyField& field,
                                     std::span<const std::uint8_t> reception,
                                     std::optional<DataAreaSpan> data)
{
    if (field.area == FieldArea::Decoded) {
        return std::nullopt;
    }
    const auto offset = static_cast<std::size_t>(field.offset);
    const auto width = static_cast<std::size_t>(field.width);
    std::size_t at = offset;
    std::size_t end = reception.size();
    if (field.area == FieldArea::DataArea) {
        if (!data) {
            return std::nullopt;
        }
        at += data->start;
        end = std::min(end, data->end);
    }
    if (at + width > end) {
        return std::nullopt;
    }
    const std::uint32_t raw = Raw(field, reception.data() + at);
    const double value = field.isSigned ? Signed(raw, field.width) : static_cast<double>(raw);
    return value * field.scale + field.shift;
}

std::optional<double> DecodedReplyField(const ReplyField& field, std::string_view name,
                                        std::optional<double> value)
{
    if (field.area != FieldArea::Decoded || name != field.name || !value) {
        return std::nullopt;
    }
    return *value * field.scale + field.shift;
}

std::size_t ReplyFieldsReach(std::span<const ReplyField> fields, std::size_t dataStart)
{
    std::size_t reach = 0;
    for (const ReplyField& field : fields) {
        if (field.area == FieldArea::Decoded) {
            continue;
        }
        const std::size_t start = field.area == FieldArea::DataArea ? dataStart : 0;
        reach = std::max(reach, start + static_cast<std::size_t>(field.offset) +
                                    static_cast<std::size_t>(field.width));
    }
    return reach;
}

std::string ReplyFieldProblem(const ReplyField& field)
{
    if (field.name.empty()) {
        return "名称为空";
    }
    if (HasControlChar(field.name) || HasControlChar(field.unit)) {
        return "名称或单位含有控制字符";
    }
    const std::string most = std::to_string(kReplyFieldMaxNameChars);
    if (BoxCharCount(field.name) > kReplyFieldMaxNameChars) {
        return "名称超过" + most + "个字符";
    }
    if (BoxCharCount(field.unit) > kReplyFieldMaxNameChars) {
        return "单位超过" + most + "个字符";
    }
    if (field.offset < 0 || field.offset > kReplyFieldMaxOffset) {
        return "位置应在0-" + std::to_string(kReplyFieldMaxOffset) + "之间";
    }
    if (field.width != 1 && field.width != 2 && field.width != 4) {
        return "宽度应为1、2或4";
    }
    if (!FactorFits(field.scale) || !FactorFits(field.shift)) {
        return "比例和偏移应为绝对值不超过10^12的数";
    }
    return {};
}

std::string WriteDecimal(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::optional<double> ReadDecimal(std::string_view text)
{
    std::size_t i = text.starts_with('-') ? 1 : 0;
    const auto digits = [&text, &i] {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        return i > from;
    };
    bool whole = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        whole = digits() || whole;
    }
    if (whole && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
            ++i;
        }
        whole = digits();
    }
    if (!whole || i != text.size()) {
        return std::nullopt;
    }
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc{} || result.ptr != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace quorvane
