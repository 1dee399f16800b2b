#include "SetupReader.h"

#include "SetupAnswers.h"
#include "SetupChartFields.h"
#include "SetupFields.h"
#include "SetupProtocol.h"
#include "SetupValue.h"

#include <algorithm>
#include <optional>

namespace quorvane {

namespace {

constexpr std::string_view kHead = "quorvane";
constexpr std::string_view kCommands = "commands";
constexpr std::string_view kChart = "chart";

std::string TooManyCommands()
{
    return "命令过多(超过" + std::to_string(kSetupMaxCommands) + "条)";
}

std::string MissingKey(std::string_view section, std::string_view key)
{
    return "[" + std::string(section) + "] 缺少 " + std::string(key);
}

std::string LineProblem(std::size_t number, std::string_view what)
{
    return "第 " + std::to_string(number) + " 行" + std::string(what);
}

// "n.name", "n.text", "n.format" (and since version 2 "n.expect",
// "n.pattern", "n.timeout", "n.wait"), n written without leading zeros.
struct CommandKey {
    std::int64_t number = 0;
    std::string_view part;
};

std::optional<CommandKey> SplitCommandKey(std::string_view key, int version)
{
    const std::size_t dot = key.find('.');
    if (dot == std::string_view::npos || dot == 0 || key.front() == '0') {
        return std::nullopt;
    }
    const std::optional<std::int64_t> number = ReadStrictWhole(key.substr(0, dot));
    const std::string_view part = key.substr(dot + 1);
    const bool first = part == "name" || part == "text" || part == "format";
    const bool second =
        part == "expect" || part == "pattern" || part == "timeout" || part == "wait";
    if (!number || !(first || (second && version >= 2))) {
        return std::nullopt;
    }
    return CommandKey{*number, part};
}

bool IsFixedSection(std::string_view name, int version)
{
    for (const SetupSection& section : SetupFixedSections()) {
        if (section.name == name && section.since <= version) {
            return true;
        }
    }
    return false;
}

bool IsFixedKey(std::string_view section, std::string_view key, int version)
{
    for (const SetupField& f : SetupFields()) {
        if (f.section == section && f.key == key && f.since <= version) {
            return true;
        }
    }
    return false;
}

// Whether the format knows the key; a command numbered past the limit is too
// many commands rather than an unknown key.
std::string UnknownKeyProblem(std::string_view section, std::string_view key, int version)
{
    if (section == kHead) {
        if (key == "version") {
            return {};
        }
    } else if (section == kCommands) {
        if (key == "count") {
            return {};
        }
        if (const auto command = SplitCommandKey(key, version)) {
            return command->number > static_cast<std::int64_t>(kSetupMaxCommands)
                       ? TooManyCommands()
                       : std::string{};
        }
    } else if (section == kAnswersSection && version >= 2) {
        return AnswerKeyProblem(key);
    } else if (section == kProtocolSection && version >= 3) {
        return ProtocolKeyProblem(key);
    } else if (IsFixedKey(section, key, version)) {
        return {};
    } else if (std::int64_t number = 0; section == kChart && IsChartFieldKey(key, number)) {
        return {};
    }
    return "[" + std::string(section) + "] 未知的键 " + ShownText(key);
}

std::string ReadCommandName(std::string_view key, std::string_view raw, std::string& into)
{
    std::optional<std::string> name = UnescapeSetupValue(raw);
    if (!name) {
        return KeyProblem(kCommands, key, "转义无效");
    }
    if (name->empty()) {
        return KeyProblem(kCommands, key, "为空");
    }
    if (HasControlChar(*name)) {
        return KeyProblem(kCommands, key, "含有控制字符");
    }
    if (BoxCharCount(*name) > kSetupMaxNameChars) {
        return KeyProblem(kCommands, key, "超过" + std::to_string(kSetupMaxNameChars) + "个字符");
    }
    into = std::move(*name);
    return {};
}

std::string ReadCommandText(std::string_view key, std::string_view raw, std::string& into)
{
    std::optional<std::string> text = UnescapeSetupValue(raw);
    if (!text) {
        return KeyProblem(kCommands, key, "转义无效");
    }
    if (BoxCharCount(*text) > kSetupMaxTextChars) {
        return KeyProblem(kCommands, key, "超过" + std::to_string(kSetupMaxTextChars) + "个字符");
    }
    into = std::move(*text);
    return {};
}

} // namespace

SetupReader::SetupReader(std::string_view text) : lines_(text)
{
}

std::string SetupReader::read()
{
    std::string problem = readHead();
    if (problem.empty()) {
        problem = gatherLines();
    }
    if (problem.empty()) {
        problem = missingSection();
    }
    if (problem.empty()) {
        problem = readFixedSections();
    }
    if (problem.empty() && known(2)) {
        problem = readChartFields();
    }
    if (problem.empty()) {
        problem = readCommands();
    }
    if (problem.empty() && known(2)) {
        std::map<std::string_view, std::string_view, std::less<>> entries;
        for (const auto& [key, entry] : sections_.at(kAnswersSection)) {
            entries.emplace(key, entry.value);
        }
        problem = ReadAnswers(entries, setup_.AnswersEnabled, setup_.Answers);
    }
    // The protocol's section is there only when something of it is set.
    if (problem.empty() && known(3) && sections_.contains(kProtocolSection)) {
        std::map<std::string_view, std::string_view, std::less<>> entries;
        for (const auto& [key, entry] : sections_.at(kProtocolSection)) {
            entries.emplace(key, entry.value);
        }
        problem = ReadProtocol(entries, setup_);
    }
    return problem;
}

// The section header and the version come first, so a file of a later
// version is refused for its version, whatever else it holds.
std::string SetupReader::readHead()
{
    const std::optional<SetupLine> head = lines_.next();
    if (!head || head->kind != SetupLine::Kind::Section || head->name != kHead) {
        return "不是Quorvane配置文件";
    }
    const std::optional<SetupLine> version = lines_.next();
    if (!version || version->kind != SetupLine::Kind::Entry || version->name != "version" ||
        version->value.empty()) {
        return "缺少版本号";
    }
    const std::optional<std::int64_t> number = ReadStrictWhole(version->value);
    if (!number || *number < 1 || *number > kSetupVersion) {
        return "不支持的版本 " + ShownText(version->value);
    }
    version_ = static_cast<int>(*number);
    sections_[kHead].emplace(version->name, Entry{version->value, version->number});
    return {};
}

std::string SetupReader::gatherLines()
{
    std::string_view section = kHead;
    while (const std::optional<SetupLine> line = lines_.next()) {
        std::string problem = gatherLine(*line, section);
        if (!problem.empty()) {
            return problem;
        }
    }
    return {};
}

std::string SetupReader::gatherLine(const SetupLine& line, std::string_view& section)
{
    switch (line.kind) {
    case SetupLine::Kind::Unreadable:
        return LineProblem(line.number, "无法识别");
    case SetupLine::Kind::NotUtf8:
        return LineProblem(line.number, "不是UTF-8文本");
    case SetupLine::Kind::ControlChar:
        return LineProblem(line.number, "含有控制字符");
    case SetupLine::Kind::Section:
        if (line.name != kHead && line.name != kCommands &&
            !(line.name == kAnswersSection && known(2)) &&
            !(line.name == kProtocolSection && known(3)) && !IsFixedSection(line.name, version_)) {
            return "未知的节 [" + ShownText(line.name) + "]";
        }
        if (!sections_.try_emplace(line.name).second) {
            return "节 [" + std::string(line.name) + "] 重复";
        }
        section = line.name;
        return {};
    case SetupLine::Kind::Entry:
        break;
    }
    std::string problem = UnknownKeyProblem(section, line.name, version_);
    if (!problem.empty()) {
        return problem;
    }
    if (!sections_[section].try_emplace(line.name, Entry{line.value, line.number}).second) {
        return KeyProblem(section, line.name, "重复");
    }
    return {};
}

std::string SetupReader::missingSection() const
{
    for (const SetupSection& section : SetupFixedSections()) {
        if (known(section.since) && !sections_.contains(section.name)) {
            return "缺少节 [" + std::string(section.name) + "]";
        }
    }
    if (!sections_.contains(kCommands)) {
        return "缺少节 [" + std::string(kCommands) + "]";
    }
    if (known(2) && !sections_.contains(kAnswersSection)) {
        return "缺少节 [" + std::string(kAnswersSection) + "]";
    }
    return {};
}

std::string SetupReader::readFixedSections()
{
    for (const SetupField& field : SetupFields()) {
        if (!known(field.since)) {
            continue; // an older file: the default stands
        }
        const Entry* entry = find(field.section, field.key);
        if (!entry) {
            return MissingKey(field.section, field.key);
        }
        std::string problem = ReadSetupField(field, entry->value, setup_);
        if (!problem.empty()) {
            return problem;
        }
    }
    return {};
}

std::string SetupReader::readChartFields()
{
    const auto lookup = [this](std::string_view key) -> std::optional<std::string_view> {
        const Entry* entry = find(kChart, key);
        return entry ? std::optional(entry->value) : std::nullopt;
    };
    std::string problem = ReadChartFields(lookup, setup_.ChartFields);
    if (!problem.empty()) {
        return problem;
    }
    // A field key numbered past the count, the first one in the file.
    const std::pair<const std::string_view, Entry>* first = nullptr;
    for (const auto& item : sections_.at(kChart)) {
        std::int64_t number = 0;
        if (IsChartFieldKey(item.first, number) &&
            number > static_cast<std::int64_t>(setup_.ChartFields.size()) &&
            (!first || item.second.line < first->second.line)) {
            first = &item;
        }
    }
    return first ? "[" + std::string(kChart) + "] 未知的键 " + ShownText(first->first)
                 : std::string();
}

std::string SetupReader::readCommands()
{
    const Entry* count = find(kCommands, "count");
    if (!count) {
        return MissingKey(kCommands, "count");
    }
    const std::optional<std::int64_t> n = ReadStrictWhole(count->value);
    if (!n) {
        return ValueProblem(kCommands, "count", count->value, "不是整数");
    }
    if (*n > static_cast<std::int64_t>(kSetupMaxCommands)) {
        return TooManyCommands();
    }
    setup_.Commands.assign(static_cast<std::size_t>(*n), SavedCommand{});
    for (std::size_t i = 0; i < setup_.Commands.size(); ++i) {
        std::string problem = readCommand(i + 1, setup_.Commands[i]);
        if (!problem.empty()) {
            return problem;
        }
    }
    return commandPastCount();
}

std::string SetupReader::readCommand(std::size_t number, SavedCommand& command) const
{
    const std::string prefix = std::to_string(number) + ".";
    const std::string nameKey = prefix + "name";
    const std::string textKey = prefix + "text";
    const std::string formatKey = prefix + "format";
    const Entry* name = find(kCommands, nameKey);
    if (!name) {
        return MissingKey(kCommands, nameKey);
    }
    std::string problem = ReadCommandName(nameKey, name->value, command.name);
    if (!problem.empty()) {
        return problem;
    }
    const Entry* text = find(kCommands, textKey);
    if (!text) {
        return MissingKey(kCommands, textKey);
    }
    problem = ReadCommandText(textKey, text->value, command.text);
    if (!problem.empty()) {
        return problem;
    }
    const Entry* format = find(kCommands, formatKey);
    if (!format) {
        return MissingKey(kCommands, formatKey);
    }
    problem = WholeProblem(kCommands, formatKey, format->value, 0, 2, command.format);
    if (!problem.empty() || !known(2)) {
        return problem;
    }
    return readStep(prefix, command);
}

// What a command expects as a step of a sequence.
std::string SetupReader::readStep(const std::string& prefix, SavedCommand& command) const
{
    const Entry* entries[4] = {};
    const char* parts[4] = {"expect", "pattern", "timeout", "wait"};
    for (int i = 0; i < 4; ++i) {
        entries[i] = find(kCommands, prefix + parts[i]);
        if (!entries[i]) {
            return MissingKey(kCommands, prefix + parts[i]);
        }
    }
    int kind = 0;
    std::string problem =
        WholeProblem(kCommands, prefix + "expect", entries[0]->value, 0, kExpectKindCount - 1, kind);
    if (!problem.empty()) {
        return problem;
    }
    command.expect.kind = static_cast<ExpectKind>(kind);
    std::optional<std::string> pattern = UnescapeSetupValue(entries[1]->value);
    if (!pattern || HasControlChar(*pattern) || BoxCharCount(*pattern) > kSetupMaxNameChars) {
        return KeyProblem(kCommands, prefix + "pattern", "无效");
    }
    command.expect.pattern = std::move(*pattern);
    if (std::string bad = ExpectationProblem(command.expect); !bad.empty()) {
        return ValueProblem(kCommands, prefix + "pattern", entries[1]->value, bad);
    }
    problem = WholeProblem(kCommands, prefix + "timeout", entries[2]->value, 0, 65535,
                           command.timeoutMs);
    if (!problem.empty()) {
        return problem;
    }
    return WholeProblem(kCommands, prefix + "wait", entries[3]->value, 0, 65535, command.waitMs);
}

// A command key numbered past count, the first one in the file.
std::string SetupReader::commandPastCount() const
{
    const auto count = static_cast<std::int64_t>(setup_.Commands.size());
    const Section& commands = sections_.at(kCommands);
    const std::pair<const std::string_view, Entry>* first = nullptr;
    for (const auto& item : commands) {
        const std::optional<CommandKey> key = SplitCommandKey(item.first, version_);
        if (key && key->number > count && (!first || item.second.line < first->second.line)) {
            first = &item;
        }
    }
    if (!first) {
        return {};
    }
    return "[" + std::string(kCommands) + "] 未知的键 " + ShownText(first->first);
}

const SetupReader::Entry* SetupReader::find(std::string_view section, std::string_view key) const
{
    const auto s = sections_.find(section);
    if (s == sections_.end()) {
        return nullptr;
    }
    const auto e = s->second.find(key);
    return e == s->second.end() ? nullptr : &e->second;
}

} // namespace quorvane
