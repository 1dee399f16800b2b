#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace quorvane {

// What the command line asked for. None of it changes how the windows behave.
struct ProgramOptions {
    bool help = false;
    bool version = false;
    bool listPorts = false;
    bool probe = false; // --probe: --list-ports connects to each network port
    std::string logFile; // --log: the session record's file, from the start
    std::string setupFile; // --setup FILE or a lone FILE: a setup opened at start

    // Runs without a window: --run FILE runs the setup's sequence.
    std::string runFile;
    std::string port; // --port COMn or a device path, instead of the setup's port
    std::string rounds; // --rounds N, as given (checked by the run)
    bool stopOnFail = false;
    std::string reportFile; // --report FILE.csv
    std::string junitFile;  // --junit FILE.xml
    // --answer FILE answers by the setup's rules, for --for seconds.
    std::string answerFile;
    std::string forSeconds;
    bool reconnect = false; // --reconnect: a lost port is waited for, as 断线自动重连 does

    bool withoutWindow() const { return !runFile.empty() || !answerFile.empty(); }
};

// The program's command line, read before any window or display is touched.
// Options live in one table (CommandLine.cpp): a new one, with or without a
// value, is one row there plus its field in ProgramOptions, and --help lists
// it by itself.
class CommandLine
{
public:
    CommandLine(int argc, char** argv);

    const ProgramOptions& options() const { return options_; }
    // Empty when every argument was understood.
    const std::string& error() const { return error_; }

    // The --help text.
    static std::string Usage();

    // Answers a faulty line (one line on err, see OptionErrorLine; status 2),
    // --help, --version and --list-ports (on out, status 0). nullopt when a
    // run without a window or the window is to follow.
    std::optional<int> answerWithoutWindows(std::ostream& out, std::ostream& err) const;

private:
    ProgramOptions options_;
    std::string error_; // in Chinese, as the window speaks
};

// A faulty command line as the program says it, one line with its newline:
// "quorvane: 未知选项: --x (用法见 quorvane --help)". Every refused option or
// option value says it this way.
std::string OptionErrorLine(const std::string& what);

} // namespace quorvane
