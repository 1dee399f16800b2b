// A lost device is waited for on the file system's notifications: an
// adapter by its by-id name (back under another kernel name, its by-id
// folder gone and made again as udev does), a device without one by its path.
#include "DeviceWatch.h"
#include "EventWait.h"
#include "FakeSystemTree.h"
#include "PtyPair.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using test::WaitUntil;

const std::string kLink = "usb-Arduino_Uno_7573530-if00";

TEST(DeviceWatch, AnAdapterIsFoundAgainByItsByIdNameAndAnotherDeviceByItsPath)
{
    test::FakeSystemTree tree;
    test::PtyPair before;
    tree.plug("ttyACM0", before.slavePath());
    tree.plug("ttyS4", before.slavePath());
    tree.linkById(kLink, "ttyACM0");
    const DeviceIdentity adapter = IdentifyDevice(tree.dev("ttyACM0"), tree.folders());
    EXPECT_EQ(adapter.byId, tree.byId(kLink));
    const DeviceIdentity uart{tree.dev("ttyS4"), {}};

    DeviceWatch watch;
    std::vector<std::string> found;
    QObject::connect(&watch, &DeviceWatch::present,
                     [&](const QString& path) { found.push_back(path.toStdString()); });
    watch.watch(adapter);
    ASSERT_TRUE(WaitUntil([&] { return found == std::vector{tree.byId(kLink)}; }));

    tree.remove("dev/ttyACM0");
    tree.remove("dev/serial");
    watch.watch(adapter);
    tree.plug("ttyACM0", "/dev/null"); // another device at the old path is not this one
    test::PtyPair after;
    tree.plug("ttyACM1", after.slavePath());
    found.clear();
    tree.makeFolder("dev/serial/by-id");
    tree.linkById(kLink, "ttyACM1");
    ASSERT_TRUE(WaitUntil([&] { return !found.empty(); }));
    EXPECT_EQ(found.back(), tree.byId(kLink));
    watch.stop();

    tree.remove("dev/ttyS4");
    watch.watch(uart);
    found.clear();
    tree.plug("ttyS4", after.slavePath());
    ASSERT_TRUE(WaitUntil([&] { return !found.empty(); }));
    EXPECT_EQ(found.back(), tree.dev("ttyS4"));
}

} // namespace
} // namespace quorvane
