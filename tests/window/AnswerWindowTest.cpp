// 自动应答 in the window: a rule answers what the device's master sends,
// the answer shows as a frame written and the request as answered, an edit
// that cannot be read is refused, a storm pauses answering until it is
// ticked again, and the columns fit their headers.
#include "AnswerWindow.h"
#include "AutoAnswer.h"
#include "LineEngine.h"
#include "MainWindowFixture.h"
#include "SetupMenu.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
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

// A device that asks again as soon as it is answered: answering pauses, and
// says so in the status bar and under the table until it is ticked again.
TEST_F(Answers, AStormPausesAnswering)
{
    answers->setRules({{true, "回环", AnswerRule::Match::Pattern, "01 02", AnswerRule::Reply::Hex,
                        "06", 0}},
                      true);
    QObject::connect(&window->engine(), &LineEngine::answerWritten,
                     [this](const ByteList&) { port->raiseBytes({0x01, 0x02}); });
    port->raiseBytes({0x01, 0x02});
    ASSERT_TRUE(WaitUntil([&] { return !answers->answering(); }));
    const QString note = QStringLiteral("自动应答过多,已暂停");
    const auto told = [&] {
        QList<QLabel*> labels = window->statusBar()->findChildren<QLabel*>();
        labels << answers->findChild<QLabel*>("lblAnswerPause");
        return std::count_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == note; });
    };
    EXPECT_EQ(told(), 2);
    auto* enable = answers->findChild<QCheckBox*>("chkEnableAnswers");
    EXPECT_FALSE(enable->isChecked());
    enable->click();
    EXPECT_EQ(told(), 0);
}

// Each column fits its header, in the program's font and one twice its size.
TEST_F(Answers, ColumnsFitTheirHeaders)
{
    const QFont font = QApplication::font();
    SteadySessionClock clock;
    AutoAnswer spare(window->engine(), clock, Shared());
    for (const int scale : {1, 2}) {
        QFont scaled = font;
        scaled.setPixelSize(font.pixelSize() * scale);
        QApplication::setFont(scaled);
        const AnswerWindow fresh(spare, nullptr);
        const auto* table = fresh.findChild<QTableWidget*>("lstRules");
        for (int column = 0; column < table->columnCount(); ++column) {
            EXPECT_GE(table->columnWidth(column), table->horizontalHeader()->sectionSizeHint(column));
        }
    }
    QApplication::setFont(font);
}

} // namespace
