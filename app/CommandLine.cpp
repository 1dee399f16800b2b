#include "CommandLine.h"

#include "NetworkConnect.h"
#include "PortPath.h"
#include "PortTexts.h"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string_view>

namespace quorvane {

namespace {

struct Option {
    std::string_view name;
    // What the option's value is called in --help; empty for a switch.
    std::string_view valueName;
    // What a missing value is called in the error ("选项 --log 缺少文件名").
    std::string_view valueWord;
    std::string_view help;
    void (*apply)(ProgramOptions& options, const std::string& value);
};

const Option kOptions[] = {
    {"--list-ports", "", "",
     "print the device behind each COMn (COM1 to COM4, and COM5 up to\n"
     "COM16 where something gives one), how it was chosen, its\n"
     "description and its state, then exit",
     [](ProgramOptions& o, const std::string&) { o.listPorts = true; }},
    {"--probe", "", "",
     "with --list-ports: connect to each port served over the network\n"
     "(rfc2217:// or socket://, 3 s at most) and say 可连接, 拒绝连接,\n"
     "无法解析 or 超时; without it no connection is made",
     [](ProgramOptions& o, const std::string&) { o.probe = true; }},
    {"--log", "FILE", "文件名",
     "record the session to FILE (lines appended), as 记录 -> 记录到文件...\n"
     "does",
     [](ProgramOptions& o, const std::string& value) { o.logFile = value; }},
    {"--run", "FILE", "配置文件",
     "run the sequence of the setup in FILE (its 常用命令 with their\n"
     "expected answers) on its port, without a window or a display;\n"
     "exit 0 when every step passed, 1 when some failed, 2 for a bad\n"
     "setup or option, 3 when the port cannot be opened",
     [](ProgramOptions& o, const std::string& value) { o.runFile = value; }},
    {"--answer", "FILE", "配置文件",
     "answer by the 自动应答 rules of the setup in FILE on its port,\n"
     "without a window or a display, until --for's time is up or\n"
     "SIGINT/SIGTERM; then print each rule's answers. Exit 0, 2 for a bad\n"
     "setup or option, 3 when the port cannot be opened or is lost",
     [](ProgramOptions& o, const std::string& value) { o.answerFile = value; }},
    {"--for", "SECONDS", "秒数", "with --answer: answer for this many seconds",
     [](ProgramOptions& o, const std::string& value) { o.forSeconds = value; }},
    {"--reconnect", "", "",
     "with --answer: when the port's device goes away, wait for it to\n"
     "come back and answer on (as 断线自动重连 does); without it a lost\n"
     "port that cannot be opened again ends the run with exit 3",
     [](ProgramOptions& o, const std::string&) { o.reconnect = true; }},
    {"--port", "PORT", "端口",
     "with --run or --answer: COMn, a device such as /dev/ttyUSB0, or\n"
     "a network port (rfc2217://HOST:PORT, socket://HOST:PORT),\n"
     "instead of the setup's port",
     [](ProgramOptions& o, const std::string& value) { o.port = value; }},
    {"--rounds", "N", "轮数",
     "with --run: run the sequence N times (0: until stopped) instead\n"
     "of the setup's rounds",
     [](ProgramOptions& o, const std::string& value) { o.rounds = value; }},
    {"--stop-on-fail", "", "", "with --run: stop at the first step that fails",
     [](ProgramOptions& o, const std::string&) { o.stopOnFail = true; }},
    {"--report", "FILE", "文件名",
     "with --run: write each step's passes, failures and response\n"
     "times to FILE as CSV (UTF-8)",
     [](ProgramOptions& o, const std::string& value) { o.reportFile = value; }},
    {"--junit", "FILE", "文件名",
     "with --run: write the steps as JUnit test cases to FILE",
     [](ProgramOptions& o, const std::string& value) { o.junitFile = value; }},
    {"--setup", "FILE", "配置文件",
     "start with the setup in FILE (a .qvs file, as 配置 -> 打开配置...\n"
     "opens it); `quorvane FILE.qvs` does the same",
     [](ProgramOptions& o, const std::string& value) { o.setupFile = value; }},
    {"--help", "", "", "print this help and exit",
     [](ProgramOptions& o, const std::string&) { o.help = true; }},
    {"--version", "", "", "print the version and exit",
     [](ProgramOptions& o, const std::string&) { o.version = true; }},
};

constexpr std::string_view kSummary = R"(Usage: quorvane [OPTION]... [FILE.qvs]
       quorvane --run FILE.qvs [--port PORT] [--rounds N] [--stop-on-fail]
                [--report FILE.csv] [--junit FILE.xml] [--log FILE]
       quorvane --answer FILE.qvs [--port PORT] [--for SECONDS] [--reconnect]
                [--log FILE]

Sends protocol frames over a serial port and shows the answers. Without
options it opens its window; with --run it runs a setup's sequence, with
--answer it answers by a setup's rules, both without one.
)";

constexpr std::string_view kPortRules = R"(
COM1 to COM4, and COM5 to COM16 where something gives them a device, name
devices chosen in this order:
  1. the environment variable QUORVANE_COMn, when set and not empty;
  2. the port file $XDG_CONFIG_HOME/quorvane/ports.conf (by default
     ~/.config/quorvane/ports.conf), lines such as COM1=/dev/ttyUSB0 in a
     [ports] section;
  3. the serial devices found: on-board UARTs with hardware from COM1 up,
     then USB and modem adapters (ttyUSB*, ttyACM*), by their
     /dev/serial/by-id name, from COM2 up and COM1 last;
  4. /dev/ttyS{n-1}.
The mapping is worked out at start-up and each time the port dialog opens.
)";

const Option* FindOption(std::string_view name)
{
    const auto found = std::find_if(std::begin(kOptions), std::end(kOptions),
                                    [&](const Option& option) { return option.name == name; });
    return found == std::end(kOptions) ? nullptr : found;
}

// A lone argument opens as a setup only when it is named like one.
bool IsSetupFileName(std::string_view argument)
{
    constexpr std::string_view suffix = ".qvs";
    if (argument.starts_with("-") || argument.size() <= suffix.size()) {
        return false;
    }
    const std::string_view end = argument.substr(argument.size() - suffix.size());
    return std::equal(end.begin(), end.end(), suffix.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// Each network port is connected to and let go; a device is not opened.
void ProbeNetworkPorts(PortMap& ports)
{
    using namespace std::chrono_literals;
    for (ComPort& port : ports) {
        if (const auto server = ParseNetworkAddress(port.device)) {
            port.reached = ProbeServer(*server, 3s);
        }
    }
}

} // namespace

CommandLine::CommandLine(int argc, char** argv)
{
    for (int i = 1; i < argc && error_.empty(); ++i) {
        const std::string_view argument = argv[i];
        const auto equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        const Option* option = argument.starts_with("--") ? FindOption(name) : nullptr;
        if (option == nullptr && IsSetupFileName(argument) && options_.setupFile.empty()) {
            options_.setupFile = argument; // quorvane FILE.qvs
            continue;
        }
        if (option == nullptr) {
            error_ = argument.starts_with("-") ? "未知选项: " + std::string(argument)
                                               : "无法识别的参数: " + std::string(argument);
            break;
        }
        std::string value;
        if (option->valueName.empty()) {
            if (equals != std::string_view::npos) {
                error_ = "选项 " + std::string(name) + " 不带值: " + std::string(argument);
                break;
            }
        } else if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error_ = "选项 " + std::string(name) + " 缺少" + std::string(option->valueWord);
            break;
        }
        option->apply(options_, value);
    }
    const bool runOnly = !options_.rounds.empty() || options_.stopOnFail ||
                         !options_.reportFile.empty() || !options_.junitFile.empty();
    if (error_.empty() && runOnly && options_.runFile.empty()) {
        error_ = "--rounds、--stop-on-fail、--report 和 --junit 只能与 --run 一起使用";
    }
    if (error_.empty() && (!options_.forSeconds.empty() || options_.reconnect) &&
        options_.answerFile.empty()) {
        error_ = "--for 和 --reconnect 只能与 --answer 一起使用";
    }
    if (error_.empty() && options_.probe && !options_.listPorts) {
        error_ = "--probe 只能与 --list-ports 一起使用";
    }
    if (error_.empty() && !options_.port.empty() && !options_.withoutWindow()) {
        error_ = "--port 只能与 --run 或 --answer 一起使用";
    }
    if (error_.empty() && !options_.runFile.empty() && !options_.answerFile.empty()) {
        error_ = "--run 和 --answer 不能同时使用";
    }
    if (error_.empty() && options_.withoutWindow() && !options_.setupFile.empty()) {
        error_ = "--run 和 --answer 已给出配置文件,不能再给另一个: " + options_.setupFile;
    }
}

std::string CommandLine::Usage()
{
    std::string text(kSummary);
    text += "\nOptions:\n";
    for (const Option& option : kOptions) {
        std::string head = "  " + std::string(option.name);
        if (!option.valueName.empty()) {
            head += " " + std::string(option.valueName);
        }
        head.resize(std::max<std::size_t>(head.size() + 2, 18), ' ');
        std::string help(option.help);
        for (std::size_t at = help.find('\n'); at != std::string::npos;
             at = help.find('\n', at + 1)) {
            help.insert(at + 1, std::string(18, ' '));
        }
        text += head + help + "\n";
    }
    text += kPortRules;
    return text;
}

std::optional<int> CommandLine::answerWithoutWindows(std::ostream& out, std::ostream& err) const
{
    if (!error_.empty()) {
        err << OptionErrorLine(error_);
        return 2;
    }
    if (options_.help) {
        out << Usage();
        return 0;
    }
    if (options_.version) {
        out << "quorvane " << QUORVANE_VERSION << "\n";
        return 0;
    }
    if (options_.listPorts) {
        RefreshPortMap();
        PortMap ports = HeldPortMap();
        if (options_.probe) {
            ProbeNetworkPorts(ports);
        }
        out << PortListing(ports);
        return 0;
    }
    return std::nullopt;
}

std::string OptionErrorLine(const std::string& what)
{
    return "quorvane: " + what + " (用法见 quorvane --help)\n";
}

} // namespace quorvane
