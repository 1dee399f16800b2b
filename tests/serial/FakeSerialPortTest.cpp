#include "FakeSerialPort.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(FakeSerialPort, RecordsConfigurationOpeningsAndOutput)
{
    FakeSerialPort port;
    port.setCommPort(3);
    port.setSettings("19200,e,7,1");
    port.setInputMode(SerialPort::InputModes::Binary);
    port.setRThreshold(1);
    port.setInputLen(0);
    port.setInBufferCount(0);
    port.setOutBufferCount(0);
    const std::vector<std::string> calls{
        "setCommPort 3", "setSettings 19200,e,7,1", "setInputMode binary", "setRThreshold 1",
        "setInputLen 0", "setInBufferCount 0",      "setOutBufferCount 0"};
    EXPECT_EQ(port.configurationCalls(), calls);
    EXPECT_EQ(port.CommPort(), 3);
    EXPECT_EQ(port.Settings(), "19200,e,7,1");
    EXPECT_EQ(port.inputMode(), SerialPort::InputModes::Binary);
    EXPECT_EQ(port.rThreshold(), 1);

    port.Output({0x01});
    EXPECT_EQ(port.outputsWhileClosed(), 1);
    EXPECT_TRUE(port.outputs().empty());

    EXPECT_TRUE(port.setPortOpen(true));
    EXPECT_TRUE(port.setPortOpen(true));
    EXPECT_EQ(port.openCount(), 1);
    port.Output({0x02, 0x03});
    port.Output({0x04});
    EXPECT_EQ(port.outputs(), (std::vector<ByteList>{{0x02, 0x03}, {0x04}}));
    EXPECT_EQ(port.outputBytes(), (ByteList{0x02, 0x03, 0x04}));
    EXPECT_TRUE(port.setPortOpen(false));
    EXPECT_TRUE(port.setPortOpen(false));
    EXPECT_EQ(port.closeCount(), 1);
    EXPECT_FALSE(port.PortOpen());
}

TEST(FakeSerialPort, RefusesToOpenWhenToldTo)
{
    FakeSerialPort port;
    port.setRefuseOpen(true);
    EXPECT_FALSE(port.setPortOpen(true));
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.refusedOpenCount(), 1);
    EXPECT_EQ(port.openCount(), 0);
    port.setRefuseOpen(false);
    EXPECT_TRUE(port.setPortOpen(true));
    EXPECT_EQ(port.openCount(), 1);
}

TEST(FakeSerialPort, RaisesEventsWithTheQueuedBytes)
{
    FakeSerialPort port;
    std::vector<std::pair<int, ByteList>> raised;
    QObject::connect(&port, &SerialPort::OnComm,
                     [&] { raised.emplace_back(port.CommEvent(), port.Input()); });
    port.queueInput({0x01});
    port.raiseBytes({0x02});
    port.raise(SerialPort::comEventBreak);
    port.raise(7);
    const std::vector<std::pair<int, ByteList>> expected{{2, {0x01, 0x02}}, {1001, {}}, {7, {}}};
    EXPECT_EQ(raised, expected);

    port.queueInput({0x09});
    port.setInBufferCount(0);
    EXPECT_TRUE(port.Input().empty());
}

TEST(FakeSerialPort, HangUpClosesAndTellsOnce)
{
    FakeSerialPort port;
    int hangUps = 0;
    QObject::connect(&port, &SerialPort::closedByHangUp, [&] {
        ++hangUps;
        EXPECT_FALSE(port.PortOpen());
    });
    port.hangUp();
    EXPECT_EQ(hangUps, 0) << "a closed port has nothing to hang up";
    ASSERT_TRUE(port.setPortOpen(true));
    port.hangUp();
    EXPECT_EQ(hangUps, 1);
    EXPECT_EQ(port.closeCount(), 1);
    EXPECT_FALSE(port.PortOpen());
}

} // namespace
} // namespace quorvane
