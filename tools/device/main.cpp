// quorvane-device: a virtual serial device on a pseudo-terminal.

#include "Options.h"
#include "PseudoTerminal.h"
#include "ReceiveLog.h"
#include "SignalPipe.h"
#include "SlaveLink.h"
#include "VirtualDevice.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <sys/prctl.h>
#include <system_error>
#include <vector>

using namespace quorvane::device;

namespace {

constexpr int exitBadArguments = 2;
constexpr int exitFailure = 1;

void PrintError(const std::string& message)
{
    std::fprintf(stderr, "quorvane-device: %s\n", message.c_str());
}

// The port path is the first line of output, so a script can read it and
// hand it to the client before anything else happens.
void AnnouncePort(const std::string& path)
{
    std::fprintf(stdout, "%s\n", path.c_str());
    std::fflush(stdout);
}

int RunDevice(const Options& options)
{
    // Answers fall due to the microsecond: let the kernel wake the device
    // as close to them as it can, not up to 50 us later.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    SignalPipe stopSignals;
    PseudoTerminal port;
    const ReceiveLog log(stdout, options.quiet);
    // Set up before a client can know the port (by its link or its path):
    // the line settings it sees first are the device's own, and any the
    // client sets are a change; its opening is seen.
    VirtualDevice device(options, port, log, stopSignals.ReadFd());
    std::optional<SlaveLink> link;
    if (!options.linkPath.empty()) {
        link.emplace(options.linkPath, port.SlavePath());
    }
    AnnouncePort(port.SlavePath());
    device.Run();
    if (const auto& master = device.master()) {
        std::fprintf(stdout, "%s\n", master->SummaryText().c_str());
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedOptions parsed = ParseOptions(args);
    if (!parsed.ok()) {
        PrintError(parsed.error + " (see --help)");
        return exitBadArguments;
    }
    if (parsed.options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    try {
        return RunDevice(parsed.options);
    } catch (const std::system_error& error) {
        PrintError(error.what());
        return exitFailure;
    }
}
