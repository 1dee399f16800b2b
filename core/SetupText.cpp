#include "SetupText.h"

#include "SetupAnswers.h"
#include "SetupChartFields.h"
#include "SetupFields.h"
#include "SetupProtocol.h"
#include "SetupReader.h"
#include "SetupValue.h"

#include <utility>

namespace quorvane {

namespace {

void AppendLine(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    out += '=';
    out += value;
    out += '\n';
}

void AppendSection(std::string& out, std::string_view name)
{
    out += '[';
    out += name;
    out += "]\n";
}

void AppendCommands(std::string& out, const std::vector<SavedCommand>& commands)
{
    AppendSection(out, "commands");
    AppendLine(out, "count", std::to_string(commands.size()));
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const std::string prefix = std::to_string(i + 1) + ".";
        AppendLine(out, prefix + "name", EscapeSetupValue(commands[i].name));
        AppendLine(out, prefix + "text", EscapeSetupValue(commands[i].text));
        AppendLine(out, prefix + "format", std::to_string(commands[i].format));
        AppendLine(out, prefix + "expect", std::to_string(static_cast<int>(commands[i].expect.kind)));
        AppendLine(out, prefix + "pattern", EscapeSetupValue(commands[i].expect.pattern));
        AppendLine(out, prefix + "timeout", std::to_string(commands[i].timeoutMs));
        AppendLine(out, prefix + "wait", std::to_string(commands[i].waitMs));
    }
}

// A last line without its line break counts as if it had one: the writer
// always ends a line, so whatever opened can be written and opened again.
bool TooLarge(std::string_view text)
{
    const std::size_t ending = text.ends_with('\n') ? 0 : 1;
    return text.size() > kSetupMaxFileBytes - ending;
}

} // namespace

// No blank lines between sections: the written text is then never longer
// than any file that reads as the same record.
std::string WriteSetupText(const Setup& setup)
{
    const bool protocol = NeedsProtocolSection(setup);
    std::string out = "[quorvane]\nversion=" + std::to_string(protocol ? kSetupVersion : 2) + "\n";
    std::string_view section;
    for (const SetupField& field : SetupFields()) {
        if (field.section != section) {
            section = field.section;
            AppendSection(out, section);
        }
        AppendLine(out, field.key, WriteSetupField(field, setup));
    }
    AppendChartFields(out, setup.ChartFields); // in [chart], the last fixed section
    AppendCommands(out, setup.Commands);
    AppendAnswers(out, setup.AnswersEnabled, setup.Answers);
    if (protocol) {
        AppendProtocol(out, setup);
    }
    return out;
}

SetupReading ReadSetupText(std::string_view text)
{
    if (TooLarge(text)) {
        return {std::nullopt, "文件过大"};
    }
    SetupReader reader(text);
    std::string problem = reader.read();
    if (!problem.empty()) {
        return {std::nullopt, std::move(problem)};
    }
    return {reader.setup(), {}};
}

namespace {

// What is wrong with one command, as the setup's problem ("名称为空") and as
// the command list's refusal ("命令名称不能为空"); both empty when nothing is.
std::pair<std::string, std::string> CommandProblem(const SavedCommand& command)
{
    const std::string names = std::to_string(kSetupMaxNameChars);
    const std::string texts = std::to_string(kSetupMaxTextChars);
    if (command.name.empty()) {
        return {"名称为空", "命令名称不能为空"};
    }
    if (BoxCharCount(command.name) > kSetupMaxNameChars) {
        return {"名称超过" + names + "个字符", "命令名称应不超过" + names + "个字符"};
    }
    if (HasControlChar(command.name)) {
        return {"名称含有控制字符", "命令名称不能含有控制字符"};
    }
    if (BoxCharCount(command.text) > kSetupMaxTextChars) {
        return {"发送数据超过" + texts + "个字符", "发送数据应不超过" + texts + "个字符"};
    }
    if (const std::string bad = ExpectationProblem(command.expect); !bad.empty()) {
        return {"应答字节无效: " + bad, "应答字节无效: " + bad};
    }
    return {};
}

} // namespace

std::string SetupSaveProblem(const Setup& setup)
{
    if (setup.ChartFields.size() > kMaxReplyFields) {
        return "数值字段超过" + std::to_string(kMaxReplyFields) + "个";
    }
    for (std::size_t i = 0; i < setup.ChartFields.size(); ++i) {
        if (std::string problem = ReplyFieldProblem(setup.ChartFields[i]); !problem.empty()) {
            return "字段 " + std::to_string(i + 1) + " " + problem;
        }
    }
    for (std::size_t i = 0; i < setup.Commands.size(); ++i) {
        if (std::string problem = CommandProblem(setup.Commands[i]).first; !problem.empty()) {
            return "命令 " + std::to_string(i + 1) + " 的" + problem;
        }
    }
    return ReadSetupText(WriteSetupText(setup)).problem;
}

Message SavedCommandRefusal(const SavedCommand& command)
{
    std::string refusal = CommandProblem(command).second;
    if (refusal.empty()) {
        return {};
    }
    return {std::move(refusal), "提示", MessageIcon::Warning, {}};
}

} // namespace quorvane
