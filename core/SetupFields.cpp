#include "SetupFields.h"

#include "ReadNumber.h"
#include "SetupValue.h"

#include <array>

namespace quorvane {

namespace {

using K = SetupFieldKind;

const std::array<SetupField, 42> kFields = {{
    {"frame", "StartByte", K::ByteText, 0, 0, &Setup::StartByte},
    {"frame", "SlaveAddr", K::ByteText, 0, 0, &Setup::SlaveAddr},
    {"frame", "CmdByte", K::ByteText, 0, 0, &Setup::CmdByte},
    {"frame", "EndByte", K::ByteText, 0, 0, &Setup::EndByte},
    {"frame", "LenOption", K::Whole, 0, 1, &Setup::LenOption},
    {"frame", "FcsOption", K::Whole, 0, 1, &Setup::FcsOption},
    {"frame", "FcsMethod", K::Whole, 0, FcsMethodCount - 1, &Setup::FcsMethod},
    {"frame", "FcsStart", K::Whole, 0, 2, &Setup::FcsStart},
    {"frame", "FcsByteOrder", K::Whole, 0, 1, &Setup::FcsByteOrder},
    {"frame", "PreprocessOn", K::Whole, 0, 1, &Setup::PreprocessOn},
    {"frame", "PreprocessKind", K::Whole, 0, 1, &Setup::PreprocessKind},
    {"receive", "RcvTimeoutMs", K::Whole, 0, 65535, &Setup::RcvTimeoutMs},
    {"receive", "RcvMaxChars", K::Whole, 0, 2147483647, &Setup::RcvMaxChars},
    {"receive", "CheckReply", K::Flag, 0, 1, &Setup::CheckReply},
    {"receive", "ShowMillis", K::Flag, 0, 1, &Setup::ShowMillis},
    {"receive", "ContinueAfterTimeout", K::Flag, 0, 1, &Setup::ContinueAfterTimeout, 2},
    {"send", "mode", K::Whole, 0, 1, &Setup::opt1},
    {"send", "format", K::Whole, 0, 2, &Setup::opt2},
    {"send", "interval", K::Whole, 0, 65535, &Setup::IntervalMs},
    {"send", "encoding", K::Whole, 0, 2, &Setup::TextEncoding},
    {"send", "linebreak", K::Whole, 0, 2, &Setup::LineBreak},
    {"send", "text", K::SendText, 0, 0, &Setup::SendText},
    {"port", "port", K::Whole, 1, 16, &Setup::Port},
    {"port", "baud", K::Whole, 50, 4000000, &Setup::BaudRate},
    {"port", "parity", K::Parity, 0, 0, &Setup::Parity},
    {"port", "databits", K::Whole, 4, 8, &Setup::DataBits},
    {"port", "stopbits", K::StopBits, 0, 0, &Setup::StopBits},
    {"port", "handshake", K::Whole, 0, 2, &Setup::Handshaking},
    {"port", "dtr", K::Flag, 0, 1, &Setup::Dtr},
    {"port", "rts", K::Flag, 0, 1, &Setup::Rts},
    {"port", "rs485", K::Flag, 0, 1, &Setup::Rs485, 2},
    {"port", "rs485rtshigh", K::Flag, 0, 1, &Setup::Rs485RtsHigh, 2},
    {"port", "rs485before", K::Whole, 0, 1000, &Setup::Rs485BeforeMs, 2},
    {"port", "rs485after", K::Whole, 0, 1000, &Setup::Rs485AfterMs, 2},
    {"display", "send", K::Whole, 0, 3, &Setup::SendViewMode},
    {"display", "receive", K::Whole, 0, 3, &Setup::ReceiveViewMode},
    {"sequence", "rounds", K::Whole, 0, 1000000, &Setup::SequenceRounds, 2},
    {"sequence", "stoponfail", K::Flag, 0, 1, &Setup::StopOnFail, 2},
    // The chart comes last of the fixed sections: its fields follow its keys.
    {"chart", "response", K::Flag, 0, 1, &Setup::ChartResponse, 2},
    {"chart", "histogram", K::Flag, 0, 1, &Setup::ChartHistogram, 2},
    {"chart", "throughput", K::Flag, 0, 1, &Setup::ChartThroughput, 2},
    {"chart", "values", K::Flag, 0, 1, &Setup::ChartValues, 2},
}};

const std::array<SetupSection, 7> kFixedSections = {
    {{"frame"}, {"receive"}, {"send"}, {"port"}, {"display"}, {"sequence", 2}, {"chart", 2}}};

constexpr std::int64_t kWholeCeiling = 1'000'000'000'000'000;
constexpr std::size_t kShownBytes = 40;

std::string_view WithoutLeadingSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// The frame dialog's rule: empty leaves the byte out, anything else must read
// as a hexadecimal number that rounds into 0..255. The text lives in a
// one-line box, so it holds no control characters.
std::string ReadByteText(const SetupField& f, std::string_view raw, std::string& into)
{
    const std::optional<std::string> text = UnescapeSetupValue(raw);
    if (!text) {
        return KeyProblem(f.section, f.key, "转义无效");
    }
    const std::string_view typed = WithoutLeadingSpaces(*text);
    if (HasControlChar(typed)) {
        return KeyProblem(f.section, f.key, "含有控制字符");
    }
    if (BoxCharCount(typed) > kSetupMaxByteTextChars) {
        return KeyProblem(f.section, f.key,
                          "超过" + std::to_string(kSetupMaxByteTextChars) + "个字符");
    }
    for (const char c : typed) {
        if (c != ' ' && c != '\t' && DigitValue(c) >= 16) {
            return ValueProblem(f.section, f.key, raw, "不是十六进制字节");
        }
    }
    if (!ReadHexSlot(typed)) {
        return ValueProblem(f.section, f.key, raw, "超出字节范围");
    }
    into = typed;
    return {};
}

std::string ReadSendText(const SetupField& f, std::string_view raw, std::string& into)
{
    std::optional<std::string> text = UnescapeSetupValue(raw);
    if (!text) {
        return KeyProblem(f.section, f.key, "转义无效");
    }
    if (BoxCharCount(*text) > kSetupMaxTextChars) {
        return "发送数据超过" + std::to_string(kSetupMaxTextChars) + "个字符";
    }
    into = std::move(*text);
    return {};
}

std::string ReadChoice(const SetupField& f, std::string_view raw, std::string& into)
{
    if (raw != "1" && raw != "1.5" && raw != "2") {
        return ValueProblem(f.section, f.key, raw, "无效(1/1.5/2)");
    }
    into = raw;
    return {};
}

std::string ReadParity(const SetupField& f, std::string_view raw, char& into)
{
    if (raw != "n" && raw != "o" && raw != "e") {
        return ValueProblem(f.section, f.key, raw, "无效(n/o/e)");
    }
    into = raw.front();
    return {};
}

std::string ReadFlag(const SetupField& f, std::string_view raw, bool& into)
{
    int value = 0;
    std::string problem = WholeProblem(f.section, f.key, raw, 0, 1, value);
    if (problem.empty()) {
        into = value == 1;
    }
    return problem;
}

} // namespace

std::span<const SetupField> SetupFields()
{
    return kFields;
}

std::span<const SetupSection> SetupFixedSections()
{
    return kFixedSections;
}

std::string WriteSetupField(const SetupField& field, const Setup& setup)
{
    switch (field.kind) {
    case K::Whole:
        return std::to_string(setup.*std::get<int Setup::*>(field.member));
    case K::Flag:
        return setup.*std::get<bool Setup::*>(field.member) ? "1" : "0";
    case K::Parity:
        return EscapeSetupValue(std::string(1, setup.*std::get<char Setup::*>(field.member)));
    case K::ByteText:
    case K::StopBits:
    case K::SendText:
        break;
    }
    return EscapeSetupValue(setup.*std::get<std::string Setup::*>(field.member));
}

std::string ReadSetupField(const SetupField& field, std::string_view raw, Setup& setup)
{
    switch (field.kind) {
    case K::Whole:
        return WholeProblem(field.section, field.key, raw, field.min, field.max,
                            setup.*std::get<int Setup::*>(field.member));
    case K::Flag:
        return ReadFlag(field, raw, setup.*std::get<bool Setup::*>(field.member));
    case K::Parity:
        return ReadParity(field, raw, setup.*std::get<char Setup::*>(field.member));
    case K::ByteText:
        return ReadByteText(field, raw, setup.*std::get<std::string Setup::*>(field.member));
    case K::StopBits:
        return ReadChoice(field, raw, setup.*std::get<std::string Setup::*>(field.member));
    case K::SendText:
        break;
    }
    return ReadSendText(field, raw, setup.*std::get<std::string Setup::*>(field.member));
}

std::optional<std::int64_t> ReadStrictWhole(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        if (value < kWholeCeiling) {
            value = value * 10 + (c - '0');
        }
    }
    return value;
}

std::string ShownText(std::string_view text)
{
    if (text.size() <= kShownBytes) {
        return std::string(text);
    }
    // Cut before a UTF-8 lead byte so no character is split.
    std::size_t end = kShownBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return std::string(text.substr(0, end)) + "…";
}

std::string ValueProblem(std::string_view section, std::string_view key, std::string_view raw,
                         std::string_view what)
{
    return "[" + std::string(section) + "] " + ShownText(key) + "=" + ShownText(raw) + " " +
           std::string(what);
}

std::string KeyProblem(std::string_view section, std::string_view key, std::string_view what)
{
    return "[" + std::string(section) + "] " + ShownText(key) + " " + std::string(what);
}

std::string WholeProblem(std::string_view section, std::string_view key, std::string_view raw,
                         std::int64_t min, std::int64_t max, int& into)
{
    const std::optional<std::int64_t> value = ReadStrictWhole(raw);
    if (!value) {
        return ValueProblem(section, key, raw, "不是整数");
    }
    if (*value < min || *value > max) {
        return ValueProblem(section, key, raw,
                            "超出范围(" + std::to_string(min) + "-" + std::to_string(max) + ")");
    }
    into = static_cast<int>(*value);
    return {};
}

} // namespace quorvane
