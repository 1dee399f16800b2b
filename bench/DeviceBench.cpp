// Keeping the device: how soon the window opens a port again after its
// adapter comes back, and what finding why a port will not open costs.
//   quorvane-bench-device reconnect   by-id link made again → port open; a held port named
#include "BenchReport.h"
#include "FakeSystemTree.h"
#include "FrmMain.h"
#include "MessageRecorder.h"
#include "Offscreen.h"
#include "PortDiagnosis.h"
#include "PortPath.h"
#include "SharedSettings.h"
#include "TermiosPort.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <fcntl.h>
#include <memory>
#include <stdlib.h>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

constexpr int kRuns = 5;
const std::string kLink = "usb-FTDI_FT232R_USB_UART_A10K3F2M-if00-port0";

// A pseudo-terminal whose master this program holds: the board.
struct Board {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    Board()
    {
        grantpt(master);
        unlockpt(master);
    }
    ~Board() { close(master); }
    std::string port() const { return ptsname(master); }
};

bool Within(const std::function<bool()>& done, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return done();
}

// From the by-id link made again to the port open, listening.
Samples Reconnects()
{
    Samples samples;
    test::FakeSystemTree tree;
    tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
    UseSystemFolders(tree.folders());
    auto board = std::make_unique<Board>();
    tree.plug("ttyUSB0", board->port());
    tree.linkById(kLink, "ttyUSB0");
    RefreshPortMap();
    ApplyStartupDefaults(Shared());
    MessageRecorder recorder;
    FrmMain window(std::make_unique<TermiosPort>());
    window.findChild<QAction*>(QStringLiteral("OpenPort"))->trigger();
    for (int run = 0; run < kRuns; ++run) {
        board.reset(); // unplugged
        tree.remove("dev/ttyUSB0");
        tree.remove("dev/serial/by-id/" + kLink);
        if (!Within([&] { return !window.port().PortOpen(); }, 5000)) {
            samples.fail("the loss was not seen");
            break;
        }
        board = std::make_unique<Board>();
        tree.plug("ttyUSB0", board->port());
        const auto start = Clock::now();
        tree.linkById(kLink, "ttyUSB0");
        if (!Within([&] { return window.port().PortOpen(); }, 5000)) {
            samples.fail("the port did not open again within 5 s");
            break;
        }
        samples.add(SecondsSince(start) * 1e3);
    }
    UseSystemFolders(std::nullopt);
    return samples;
}

// A port held open without a lock: its opener is found in /proc/*/fd.
Samples NamingAnOpener()
{
    Samples samples;
    Board board;
    const int held = open(board.port().c_str(), O_RDWR | O_NOCTTY);
    const PortDiagnosis diagnosis(CurrentSystemFolders());
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        const std::string reason =
            diagnosis.Explain(2, board.port(), {TakeFailure::Kind::Held, EBUSY});
        samples.add(SecondsSince(start) * 1e3, reason.empty() ? "no reason" : "");
    }
    close(held);
    return samples;
}

void ReconnectFigures()
{
    WriteSection("21. Keeping the device: a by-id link removed and made again, 5 runs");
    const Samples back = Reconnects();
    WriteRow({"reconnect: by-id link back → port open", Spread(back, 1, "ms"), "< 500 ms", "-",
              "-", Met(back, back.ran() && back.max() < 500)});
    const Samples named = NamingAnOpener();
    WriteRow({"a held port: its opener named from /proc", Spread(named, 1, "ms"), "-", "-", "-",
              "-"});
}

} // namespace

int main(int argc, char** argv)
{
    return RunBenchMode(argc, argv, "quorvane-bench-device reconnect",
                        {{"reconnect", ReconnectFigures}});
}
