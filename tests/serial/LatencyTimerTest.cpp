// The latency timer of an FTDI adapter in a fake /sys: read through the
// device node or its by-id link, lowered to 1 ms, and refused where the
// file cannot be written. Root may write a read-only file, so a refused
// write is played by a folder standing where the file should be.
#include "FakeSystemTree.h"
#include "LatencyTimer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace quorvane {
namespace {

using Outcome = LatencyTimer::Lowering::Outcome;

const std::string kTimerFile = "sys/class/tty/ttyUSB0/device/latency_timer";

class AdapterLatency : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.addUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART");
        tree.plug("ttyUSB0", "/dev/null");
        tree.linkById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0");
    }

    std::string timerFile() const
    {
        std::ifstream in(tree.root() + "/" + kTimerFile);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    test::FakeSystemTree tree;
    LatencyTimer timer{tree.folders()};
};

TEST_F(AdapterLatency, IsReadThroughTheNodeOrItsByIdLinkAndLoweredToOne)
{
    tree.write(kTimerFile, "16\n");
    EXPECT_EQ(timer.Read(tree.dev("ttyUSB0")), 16);
    const std::string link = tree.byId("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(timer.Read(link), 16);

    EXPECT_EQ(timer.LowerToOne(link).outcome, Outcome::Lowered);
    EXPECT_EQ(timerFile(), "1");
    EXPECT_EQ(timer.Read(tree.dev("ttyUSB0")), 1);
}

TEST_F(AdapterLatency, OtherDevicesHaveNone)
{
    tree.addUsbAdapter("ttyACM0", "Arduino", "Uno");
    tree.addUart(0, "4");
    for (const std::string& device : {tree.dev("ttyUSB0"), tree.dev("ttyACM0"), tree.dev("ttyS0"),
                                      tree.dev("ttyUSB7"), std::string("socket://host:4001"),
                                      std::string()}) {
        EXPECT_EQ(timer.Read(device), std::nullopt) << device;
        EXPECT_EQ(timer.LowerToOne(device).outcome, Outcome::NoTimer) << device;
    }
}

TEST_F(AdapterLatency, AFileThatCannotBeWrittenIsRefusedAndSaysWhy)
{
    tree.makeFolder(kTimerFile);
    const LatencyTimer::Lowering lowering = timer.LowerToOne(tree.dev("ttyUSB0"));
    EXPECT_EQ(lowering.outcome, Outcome::Failed);
    EXPECT_EQ(lowering.error, EISDIR);
    EXPECT_EQ(timer.Read(tree.dev("ttyUSB0")), std::nullopt);

    if (geteuid() != 0) { // root writes a read-only file all the same
        tree.remove(kTimerFile);
        tree.write(kTimerFile, "16\n");
        std::filesystem::permissions(tree.root() + "/" + kTimerFile,
                                     std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
        EXPECT_EQ(timer.LowerToOne(tree.dev("ttyUSB0")).outcome, Outcome::Denied);
        EXPECT_EQ(timerFile(), "16\n");
    }
}

} // namespace
} // namespace quorvane
