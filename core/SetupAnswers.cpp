#include "SetupAnswers.h"

#include "Setup.h"
#include "SetupFields.h"
#include "SetupValue.h"

#include <algorithm>
#include <array>
#include <optional>

namespace quorvane {

namespace {

constexpr std::array<std::string_view, 7> kParts = {"enabled", "name",  "match", "pattern",
                                                    "reply",   "text", "delay"};

std::string TooManyRules()
{
    return "自动应答规则过多(超过" + std::to_string(kMostAnswerRules) + "条)";
}

std::optional<std::int64_t> RuleNumber(std::string_view key)
{
    const std::size_t dot = key.find('.');
    if (dot == std::string_view::npos || dot == 0 || key.front() == '0') {
        return std::nullopt;
    }
    const std::string_view part = key.substr(dot + 1);
    if (std::find(kParts.begin(), kParts.end(), part) == kParts.end()) {
        return std::nullopt;
    }
    return ReadStrictWhole(key.substr(0, dot));
}

void AppendLine(std::string& out, const std::string& key, const std::string& value)
{
    out += key;
    out += '=';
    out += value;
    out += '\n';
}

std::string Missing(std::string_view key)
{
    return "[" + std::string(kAnswersSection) + "] 缺少 " + std::string(key);
}

std::string ReadText(const std::string& key, std::string_view raw, std::size_t most,
                     std::string& into)
{
    std::optional<std::string> text = UnescapeSetupValue(raw);
    if (!text || HasControlChar(*text)) {
        return KeyProblem(kAnswersSection, key, "无效");
    }
    if (BoxCharCount(*text) > most) {
        return KeyProblem(kAnswersSection, key, "超过" + std::to_string(most) + "个字符");
    }
    into = std::move(*text);
    return {};
}

} // namespace

std::string AnswerKeyProblem(std::string_view key)
{
    if (key == "enabled" || key == "count") {
        return {};
    }
    if (const auto number = RuleNumber(key)) {
        return *number > static_cast<std::int64_t>(kMostAnswerRules) ? TooManyRules()
                                                                        : std::string{};
    }
    return "[" + std::string(kAnswersSection) + "] 未知的键 " + ShownText(key);
}

void AppendAnswers(std::string& out, bool enabled, const std::vector<AnswerRule>& rules)
{
    out += "[";
    out += kAnswersSection;
    out += "]\n";
    AppendLine(out, "enabled", enabled ? "1" : "0");
    AppendLine(out, "count", std::to_string(rules.size()));
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const AnswerRule& r = rules[i];
        const std::string n = std::to_string(i + 1) + ".";
        AppendLine(out, n + "enabled", r.enabled ? "1" : "0");
        AppendLine(out, n + "name", EscapeSetupValue(r.name));
        AppendLine(out, n + "match", std::to_string(static_cast<int>(r.match)));
        AppendLine(out, n + "pattern", EscapeSetupValue(r.pattern));
        AppendLine(out, n + "reply", std::to_string(static_cast<int>(r.reply)));
        AppendLine(out, n + "text", EscapeSetupValue(r.text));
        AppendLine(out, n + "delay", std::to_string(r.delayMs));
    }
}

std::string ReadAnswers(const std::map<std::string_view, std::string_view, std::less<>>& entries,
                        bool& enabled, std::vector<AnswerRule>& rules)
{
    const auto find = [&](std::string_view key) -> const std::string_view* {
        const auto it = entries.find(key);
        return it == entries.end() ? nullptr : &it->second;
    };
    const std::string_view section = kAnswersSection;
    const std::string_view* on = find("enabled");
    if (!on) {
        return Missing("enabled");
    }
    int flag = 0;
    if (std::string problem = WholeProblem(section, "enabled", *on, 0, 1, flag); !problem.empty()) {
        return problem;
    }
    enabled = flag == 1;
    const std::string_view* count = find("count");
    if (!count) {
        return Missing("count");
    }
    const std::optional<std::int64_t> n = ReadStrictWhole(*count);
    if (!n) {
        return ValueProblem(section, "count", *count, "不是整数");
    }
    if (*n > static_cast<std::int64_t>(kMostAnswerRules)) {
        return TooManyRules();
    }
    rules.assign(static_cast<std::size_t>(*n), AnswerRule{});
    for (std::size_t i = 0; i < rules.size(); ++i) {
        AnswerRule& r = rules[i];
        const std::string prefix = std::to_string(i + 1) + ".";
        std::array<const std::string_view*, kParts.size()> raw{};
        for (std::size_t p = 0; p < kParts.size(); ++p) {
            raw[p] = find(prefix + std::string(kParts[p]));
            if (!raw[p]) {
                return Missing(prefix + std::string(kParts[p]));
            }
        }
        int on = 0, match = 0, reply = 0;
        std::string problem = WholeProblem(section, prefix + "enabled", *raw[0], 0, 1, on);
        if (problem.empty()) {
            problem = ReadText(prefix + "name", *raw[1], kSetupMaxNameChars, r.name);
        }
        if (problem.empty()) {
            problem = WholeProblem(section, prefix + "match", *raw[2], 0, 1, match);
        }
        if (problem.empty()) {
            problem = ReadText(prefix + "pattern", *raw[3], kSetupMaxNameChars, r.pattern);
        }
        if (problem.empty()) {
            problem = WholeProblem(section, prefix + "reply", *raw[4], 0, 1, reply);
        }
        if (problem.empty()) {
            problem = ReadText(prefix + "text", *raw[5], kSetupMaxTextChars, r.text);
        }
        if (problem.empty()) {
            problem = WholeProblem(section, prefix + "delay", *raw[6], 0, 65535, r.delayMs);
        }
        if (!problem.empty()) {
            return problem;
        }
        r.enabled = on == 1;
        r.match = static_cast<AnswerRule::Match>(match);
        r.reply = static_cast<AnswerRule::Reply>(reply);
        if (std::string bad = AnswerRuleProblem(r); !bad.empty()) {
            return "[" + std::string(section) + "] 规则 " + std::to_string(i + 1) + " " + bad;
        }
    }
    for (const auto& [key, value] : entries) {
        if (const auto number = RuleNumber(key); number && *number > *n) {
            return "[" + std::string(section) + "] 未知的键 " + ShownText(key);
        }
    }
    return {};
}

} // namespace quorvane
