// Sequences in the window: the saved commands run round after round, each
// step judged by what it expects, without a message box, and reported.
#include "CommandWindow.h"
#include "LineEngine.h"
#include "MainWindowFixture.h"
#include "SequenceWindow.h"

#include <QFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

using namespace quorvane;

namespace {

class Sequence : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        window->setTimeRcvInterval(40);
        // The device echoes every frame but those whose data is 9.
        QObject::connect(&window->engine(), &LineEngine::frameWritten,
                         [this](quint64, const ByteList& frame) {
                             if (frame.size() > 2 && frame[2] == 9) {
                                 return;
                             }
                             FakeSerialPort* device = port;
                             QTimer::singleShot(1, device,
                                                [device, frame] { device->raiseBytes(frame); });
                         });
        commands = window->findChild<CommandWindow*>();
        sequence = window->findChild<SequenceWindow*>();
    }
    CommandWindow* commands = nullptr;
    SequenceWindow* sequence = nullptr;
};

TEST_F(Sequence, StepsAreJudgedRoundAfterRoundWithoutABox)
{
    commands->setCommands({{"一二三", "1 2 3", 1, {ExpectKind::CheckedFrame, ""}},
                           {"静", "9", 1, {ExpectKind::Silence, ""}, 20},
                           {"错", "4", 1, {ExpectKind::Bytes, "01 *"}, 0, 5}});
    sequence->setChoices(2, false);
    sequence->cmdStart_Click();
    EXPECT_TRUE(sequence->running());
    EXPECT_FALSE(cmdSend()->isEnabled());
    EXPECT_TRUE(lockedControlsDisabled());
    ASSERT_TRUE(WaitUntil([&] { return !sequence->running(); }));
    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_TRUE(cmdSend()->isEnabled());
    EXPECT_TRUE(lockedControlsEnabled());
    EXPECT_EQ(cmdSend()->text(), "发 送");
    const SequenceRun& run = *sequence->lastRun();
    EXPECT_EQ(run.passes(), 4u);
    EXPECT_EQ(run.failures(), 2u);
    EXPECT_EQ(rcvView().count(QStringLiteral(" [通过]")), 4);
    EXPECT_EQ(rcvView().count(QStringLiteral(" [失败 应为 01 * 收到 00 01 04 05 FF]")), 2);
    EXPECT_TRUE(find<QLabel>("lblProgress")->text().startsWith(
        QStringLiteral("完成 · 通过 4 失败 2 超时 0 响应 ")))
        << find<QLabel>("lblProgress")->text().toStdString();
    EXPECT_EQ(sendView().count(QStringLiteral("\r\n")), 5) << "each step's frame on its line";
    const auto* table = find<QTableWidget>("lstResults");
    EXPECT_EQ(table->item(2, 3)->text(), "2"); // 失败
    EXPECT_EQ(table->item(2, 7)->text(), "应为 01 * 收到 00 01 04 05 FF"); // 最后失败

    QTemporaryDir dir;
    sequence->chooseReportFile = [&](const QString&) { return dir.filePath("r.csv"); };
    sequence->cmdReport_Click();
    QFile csv(dir.filePath("r.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_TRUE(csv.readAll().contains("3,错,0,2,0,"));
}

// A step that cannot be built is refused before the port is touched; 停止
// ends a run of rounds until stopped.
TEST_F(Sequence, ABadStepIsRefusedAndStopEndsARun)
{
    commands->setCommands({{"坏", "1 2 300", 1}});
    sequence->cmdStart_Click();
    EXPECT_EQ(recorder.texts(),
              std::vector<std::string>{"无法运行序列: 命令 1 的发送数据无效: 超出字节范围"});
    EXPECT_FALSE(port->PortOpen());

    recorder.clear();
    commands->setCommands({{"一二三", "1 2 3", 1}});
    sequence->setChoices(0, false);
    sequence->cmdStart_Click();
    ASSERT_TRUE(WaitUntil([&] { return sequence->lastRun()->passes() >= 3; }));
    sequence->cmdStart_Click();
    EXPECT_FALSE(sequence->running());
    EXPECT_TRUE(find<QLabel>("lblProgress")->text().startsWith(QStringLiteral("已停止 · 通过 ")));
    EXPECT_TRUE(recorder.messages().empty());

    // A step's own time-out works with the receive time-out at 0; a step
    // with none at all is refused before it starts.
    const LineEngine& engine = window->engine();
    ASSERT_TRUE(WaitUntil([&] { // the echo of the frame on the wire at the stop
        return engine.summary().Counts().replies == engine.summary().Counts().framesWritten &&
               !engine.receiving();
    }));
    window->setTimeRcvInterval(0);
    Shared().RcvTimeoutMs = 0;
    commands->setCommands({{"静", "9", 1, {ExpectKind::Silence, ""}, 30}});
    sequence->setChoices(1, false);
    sequence->cmdStart_Click();
    ASSERT_TRUE(WaitUntil([&] { return !sequence->running(); }));
    EXPECT_EQ(sequence->lastRun()->passes(), 1u);
    commands->setCommands({{"静", "9", 1, {ExpectKind::Silence, ""}}});
    sequence->cmdStart_Click();
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{
                                    "无法运行序列: 命令 1 没有超时(超时(ms)与接收超时时间都为 0)"});
}

} // namespace
