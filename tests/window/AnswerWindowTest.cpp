// 自动应答 in the window: a rule answers what the device's master sends,
// the answer shows as a frame written and the request as answered, an edit
// that cannot be read is refused, and a storm pauses answering.
#include "AnswerWindow.h"
#include "LineEngine.h"
#include "MainWindowFixture.h"
#include "SetupMenu.h"

#include <QAction>
#include <QCheckBox>
#include <QStatusBar>
#include <QTableWidget>

using namespace quorvane;

namespace {

class Answers : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        answers = window->findChild<AnswerWindow*>();
        find<QAction>("OpenPort")->trigger();
    }
    AnswerWindow* answers = nullptr;
};

TEST_F(Answers, ARuleAnswersAndTheRequestIsMarked)
{
    Shared().frame = {"01", "", "03", 0, 1, ""};
    Shared().FcsMethod = FcsCrc16Modbus;
    Shared().FcsByteOrder = FcsLowFirst;
    answers->setRules({{true, "读寄存器", AnswerRule::Match::Pattern, "01 03 ?? ?? ?? ?? ?? ??",
                        AnswerRule::Reply::Frame, "02 00 2A", 0}},
                       true);
    port->raiseBytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A});
    ASSERT_TRUE(WaitUntil([&] { return !port->outputs().empty(); }));
    EXPECT_EQ(port->outputs().back(), (ByteList{0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B}));
    EXPECT_TRUE(rcvView().endsWith(QStringLiteral(" 1 3 0 0 0 1 132 10 [已应答 读寄存器]")))
        << rcvView().toStdString();
    EXPECT_EQ(sendView(), "   1 3 2 0 42 57 155");
    EXPECT_EQ(window->setup().Collect().Answers, answers->rules());

    // An edit that cannot be read is refused and the cell keeps its text.
    auto* table = answers->findChild<QTableWidget*>("lstRules");
    table->item(0, 5)->setText("$0");
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"回复: $0 不是请求中的字节"});
    EXPECT_EQ(table->item(0, 5)->text(), "02 00 2A");
}

// A line that loops its answers back: answering pauses and says so once.
TEST_F(Answers, AStormPausesAnswering)
{
    answers->setRules({{true, "回环", AnswerRule::Match::Pattern, "01 02", AnswerRule::Reply::Hex,
                        "01 02", 0}},
                      true);
    QObject::connect(&window->engine(), &LineEngine::answerWritten,
                     [this](const ByteList& bytes) { port->raiseBytes(bytes); });
    port->raiseBytes({0x01, 0x02});
    ASSERT_TRUE(WaitUntil([&] { return !answers->answering(); }));
    EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("自动应答过多,已暂停"));
    EXPECT_FALSE(answers->findChild<QCheckBox*>("chkEnableAnswers")->isChecked());
}

} // namespace
