// The latency timer of an FTDI adapter in a fake /sys. Root may write a
// read-only file, so a refused write is played by a folder standing where
// the file should be.
#include "FakeSystemTree.h"
#include "LatencyTimer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>

namespace quorvane {
namespace {

using Outcome = LatencyTimer::Lowering::Outcome;
const std::string kTimerFile = "sys/class/tty/ttyUSB0/device/latency_timer";

TEST(AdapterLatency, IsReadThroughItsByIdLinkLoweredToOneAndRefusedWhereItCannotBeWritten)
{
    test::FakeSystemTree tree;
    tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
    tree.plug("ttyUSB0", "/dev/null");
    tree.linkById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
    tree.write(kTimerFile, "16\n");
    const LatencyTimer timer(tree.folders());
    const std::string link = tree.byId("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(timer.Read(link), 16);

    EXPECT_EQ(timer.LowerToOne(link).outcome, Outcome::Lowered);
    std::ifstream in(tree.root() + "/" + kTimerFile);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "1");

    tree.remove(kTimerFile);
    tree.makeFolder(kTimerFile);
    const LatencyTimer::Lowering refused = timer.LowerToOne(tree.dev("ttyUSB0"));
    EXPECT_EQ(refused.outcome, Outcome::Failed);
    EXPECT_EQ(refused.error, EISDIR);
}

TEST(AdapterLatency, OtherDevicesHaveNone)
{
    test::FakeSystemTree tree;
    tree.addUsbAdapter("ttyACM0", "Arduino", "Uno");
    tree.addUart(0, "4");
    const LatencyTimer timer(tree.folders());
    for (const std::string& device : {tree.dev("ttyACM0"), tree.dev("ttyS0"), tree.dev("ttyUSB7"),
                                      std::string("socket://host:4001")}) {
        EXPECT_EQ(timer.Read(device), std::nullopt) << device;
        EXPECT_EQ(timer.LowerToOne(device).outcome, Outcome::NoTimer) << device;
    }
}

} // namespace
} // namespace quorvane
