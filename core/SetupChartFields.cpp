#include "SetupChartFields.h"

#include "SetupFields.h"
#include "SetupValue.h"

namespace quorvane {

namespace {

constexpr std::string_view kChart = "chart";
constexpr std::string_view kCount = "fields";
constexpr std::string_view kParts[] = {"name",  "unit",      "area",  "offset", "width",
                                       "signed", "highfirst", "scale", "shift"};

void AppendLine(std::string& out, const std::string& key, std::string_view value)
{
    out += key;
    out += '=';
    out += value;
    out += '\n';
}

std::string ReadText(const std::string& key, std::string_view raw, std::string& into)
{
    std::optional<std::string> text = UnescapeSetupValue(raw);
    if (!text) {
        return KeyProblem(kChart, key, "转义无效");
    }
    into = std::move(*text);
    return {};
}

std::string ReadFlag(const std::string& key, std::string_view raw, bool& into)
{
    int value = 0;
    std::string problem = WholeProblem(kChart, key, raw, 0, 1, value);
    into = value == 1;
    return problem;
}

std::string ReadFactor(const std::string& key, std::string_view raw, double& into)
{
    const std::optional<double> value = ReadDecimal(raw);
    if (!value) {
        return ValueProblem(kChart, key, raw, "不是数");
    }
    into = *value;
    return {};
}

// One field's keys, all of them, each read as its kind; then the field as a
// whole as the field editor judges it.
std::string ReadField(const ChartKeyLookup& lookup, std::size_t number, ReplyField& field)
{
    const std::string prefix = std::to_string(number) + ".";
    std::string_view raw[std::size(kParts)];
    for (std::size_t i = 0; i < std::size(kParts); ++i) {
        const std::optional<std::string_view> value = lookup(prefix + std::string(kParts[i]));
        if (!value) {
            return "[" + std::string(kChart) + "] 缺少 " + prefix + std::string(kParts[i]);
        }
        raw[i] = *value;
    }
    const auto key = [&prefix](std::size_t part) { return prefix + std::string(kParts[part]); };
    int area = 0;
    std::string problem = ReadText(key(0), raw[0], field.name);
    if (problem.empty()) {
        problem = ReadText(key(1), raw[1], field.unit);
    }
    if (problem.empty()) {
        problem = WholeProblem(kChart, key(2), raw[2], 0, 2, area);
        field.area = static_cast<FieldArea>(area);
    }
    if (problem.empty()) {
        problem = WholeProblem(kChart, key(3), raw[3], 0, kReplyFieldMaxOffset, field.offset);
    }
    if (problem.empty()) {
        problem = WholeProblem(kChart, key(4), raw[4], 1, 4, field.width);
    }
    if (problem.empty()) {
        problem = ReadFlag(key(5), raw[5], field.isSigned);
    }
    if (problem.empty()) {
        problem = ReadFlag(key(6), raw[6], field.highFirst);
    }
    if (problem.empty()) {
        problem = ReadFactor(key(7), raw[7], field.scale);
    }
    if (problem.empty()) {
        problem = ReadFactor(key(8), raw[8], field.shift);
    }
    if (problem.empty()) {
        if (std::string bad = ReplyFieldProblem(field); !bad.empty()) {
            problem = "[" + std::string(kChart) + "] 字段 " + std::to_string(number) + " " + bad;
        }
    }
    return problem;
}

} // namespace

void AppendChartFields(std::string& out, const std::vector<ReplyField>& fields)
{
    AppendLine(out, std::string(kCount), std::to_string(fields.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ReplyField& f = fields[i];
        const std::string prefix = std::to_string(i + 1) + ".";
        AppendLine(out, prefix + "name", EscapeSetupValue(f.name));
        AppendLine(out, prefix + "unit", EscapeSetupValue(f.unit));
        AppendLine(out, prefix + "area", std::to_string(static_cast<int>(f.area)));
        AppendLine(out, prefix + "offset", std::to_string(f.offset));
        AppendLine(out, prefix + "width", std::to_string(f.width));
        AppendLine(out, prefix + "signed", f.isSigned ? "1" : "0");
        AppendLine(out, prefix + "highfirst", f.highFirst ? "1" : "0");
        AppendLine(out, prefix + "scale", WriteDecimal(f.scale));
        AppendLine(out, prefix + "shift", WriteDecimal(f.shift));
    }
}

bool IsChartFieldKey(std::string_view key, std::int64_t& number)
{
    if (key == kCount) {
        number = 0;
        return true;
    }
    const std::size_t dot = key.find('.');
    if (dot == std::string_view::npos || dot == 0 || key.front() == '0') {
        return false;
    }
    const std::optional<std::int64_t> n = ReadStrictWhole(key.substr(0, dot));
    const std::string_view part = key.substr(dot + 1);
    for (const std::string_view known : kParts) {
        if (n && part == known) {
            number = *n;
            return true;
        }
    }
    return false;
}

std::string ReadChartFields(const ChartKeyLookup& lookup, std::vector<ReplyField>& into)
{
    const std::optional<std::string_view> count = lookup(kCount);
    if (!count) {
        return "[" + std::string(kChart) + "] 缺少 " + std::string(kCount);
    }
    int n = 0;
    std::string problem = WholeProblem(kChart, kCount, *count, 0,
                                       static_cast<std::int64_t>(kMaxReplyFields), n);
    if (!problem.empty()) {
        return problem;
    }
    into.assign(static_cast<std::size_t>(n), ReplyField{});
    for (std::size_t i = 0; i < into.size(); ++i) {
        problem = ReadField(lookup, i + 1, into[i]);
        if (!problem.empty()) {
            return problem;
        }
    }
    return {};
}

} // namespace quorvane
