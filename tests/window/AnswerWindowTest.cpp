// 自动应答 in the window: a rule answers what the device's master sends,
// the answer shows as a frame written and the request as answered, an edit
// that cannot be read is refused, a storm pauses answering until it is
// ticked again, and the columns fit their headers. 模拟从站 answers from its
// tables under the protocol in force, shows what masters write, gives the
// rules back when unticked, refuses tables it cannot use and goes into and
// out of a setup.
#include "AnswerWindow.h"
#include "AutoAnswer.h"
#include "Dlt645Identifiers.h"
#include "LineEngine.h"
#include "MainWindowFixture.h"
#include "SetupMenu.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QStatusBar>
#include <QTabWidget>
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
    // The answers in force.
    AutoAnswer& autoAnswer() const { return *window->findChild<AutoAnswer*>(); }
    // A protocol chosen in 配置 → 协议.
    void choose(const ProtocolChoice& choice)
    {
        Shared().protocol = choice;
        answers->ProtocolChanged();
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

// A Modbus RTU slave from its tables: a read answered, a write shown in the
// table and in the setup, the rules answering again once it is unticked,
// and the setup's tables taken back.
TEST_F(Answers, TheSimulatedSlaveAnswersFromItsTables)
{
    auto* simulate = answers->findChild<QCheckBox*>("chkSimulate");
    auto* registers = answers->findChild<QTableWidget*>("lstRegisters");
    ASSERT_NE(simulate, nullptr);
    ASSERT_NE(registers, nullptr);
    EXPECT_FALSE(simulate->isEnabled());
    EXPECT_EQ(simulate->toolTip(), QStringLiteral("先在 配置 → 协议 中选择协议"));

    choose({ProtocolModbusRtu, 1, "AAAAAAAAAAAA", true});
    answers->setRules({{true, "规则", AnswerRule::Match::Pattern, "01 03 ?? ?? ?? ?? ?? ??",
                        AnswerRule::Reply::Hex, "AA BB", 0}},
                      true);
    answers->setSimulation(false, {{{0, 0}, {1, 42}}, {}, {}});
    ASSERT_TRUE(simulate->isEnabled());
    simulate->click();
    ASSERT_NE(autoAnswer().simulation(), nullptr);

    const auto answer = [&](const ByteList& request) {
        const std::size_t before = port->outputs().size();
        port->raiseBytes(request);
        EXPECT_TRUE(WaitUntil([&] { return port->outputs().size() > before; }));
        return port->outputs().empty() ? ByteList{} : port->outputs().back();
    };
    EXPECT_EQ(answer({0x01, 0x03, 0x00, 0x01, 0x00, 0x01, 0xD5, 0xCA}),
              (ByteList{0x01, 0x03, 0x02, 0x00, 0x2A, 0x39, 0x9B}));
    EXPECT_TRUE(rcvView().contains(AutoAnswer::SimulationName())) << rcvView().toStdString();

    // A master writes register 1: the table shows it, and so does the setup.
    EXPECT_EQ(answer({0x01, 0x06, 0x00, 0x01, 0x00, 0x07, 0x99, 0xC8}),
              (ByteList{0x01, 0x06, 0x00, 0x01, 0x00, 0x07, 0x99, 0xC8}));
    EXPECT_TRUE(WaitUntil([&] { return registers->item(1, 1)->text() == "7"; }));
    const quorvane::Setup collected = window->setup().Collect();
    EXPECT_TRUE(collected.Simulate);
    EXPECT_EQ(collected.Tables.registers, (std::vector<RegisterEntry>{{0, 0}, {1, 7}}));

    // A master's write not shown yet survives an edit made in that moment.
    answer({0x01, 0x06, 0x00, 0x00, 0x00, 0x05, 0x49, 0xC9});
    registers->item(1, 1)->setText("8");
    EXPECT_EQ(autoAnswer().simulation()->tables().registers, (std::vector<RegisterEntry>{{0, 5}, {1, 8}}));
    EXPECT_EQ(registers->item(0, 1)->text(), "5");
    answer({0x01, 0x06, 0x00, 0x01, 0x00, 0x07, 0x99, 0xC8});
    EXPECT_TRUE(WaitUntil([&] { return registers->item(1, 1)->text() == "7"; }));

    // Unticked, the rules answer again.
    simulate->click();
    EXPECT_EQ(autoAnswer().simulation(), nullptr);
    EXPECT_EQ(answer({0x01, 0x03, 0x00, 0x01, 0x00, 0x01, 0xD5, 0xCA}), (ByteList{0xAA, 0xBB}));

    // The setup collected before puts the slave back as the master left it.
    window->setup().Apply(collected);
    EXPECT_TRUE(answers->simulating());
    EXPECT_EQ(answer({0x01, 0x03, 0x00, 0x01, 0x00, 0x01, 0xD5, 0xCA}),
              (ByteList{0x01, 0x03, 0x02, 0x00, 0x07, 0xF9, 0x86}));
    EXPECT_TRUE(recorder.messages().empty());
}

// Edits the tables cannot use are refused with the reason and change nothing
// in force; the pages follow the protocol, and the frame format gives the
// rules back.
TEST_F(Answers, TheSimulatedTablesRefuseWhatTheyCannotUse)
{
    choose({ProtocolModbusRtu, 1, "AAAAAAAAAAAA", true});
    const SimulatedTables start{{{0, 0}, {1, 42}}, {{0, true}}, {}};
    answers->setSimulation(true, start);
    auto* registers = answers->findChild<QTableWidget*>("lstRegisters");
    auto* coils = answers->findChild<QTableWidget*>("lstCoils");
    const auto inForce = [&] { return autoAnswer().simulation()->tables(); };

    const struct {
        QTableWidget* table;
        int row, column;
        const char* text;
        const char* problem;
    } refused[] = {{registers, 1, 0, "0", "地址 0 重复"},
                   {registers, 1, 0, "65536", "地址应为0-65535之间的整数"},
                   {registers, 1, 1, "70000", "寄存器值应为0-65535之间的整数"},
                   {coils, 0, 1, "2", "线圈值应为0或1"}};
    for (const auto& r : refused) {
        recorder.clear();
        const QString before = r.table->item(r.row, r.column)->text();
        r.table->item(r.row, r.column)->setText(QString::fromUtf8(r.text));
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{r.problem}) << r.text;
        EXPECT_EQ(r.table->item(r.row, r.column)->text(), before);
        EXPECT_EQ(answers->tables(), start);
        EXPECT_EQ(inForce(), start);
    }
    recorder.clear();
    registers->item(1, 1)->setText("0x10");
    EXPECT_EQ(inForce().registers, (std::vector<RegisterEntry>{{0, 0}, {1, 16}}));
    answers->findChild<QPushButton*>("cmdAddEntry")->click();
    EXPECT_EQ(inForce().registers.back(), (RegisterEntry{2, 0}));
    registers->setCurrentCell(0, 0);
    answers->findChild<QPushButton*>("cmdRemoveEntry")->click();
    EXPECT_EQ(inForce().registers, (std::vector<RegisterEntry>{{1, 16}, {2, 0}}));

    // Under DL/T 645 the meter page: a value its identifier cannot read is
    // refused, and the identifier's name is shown.
    choose({ProtocolDlt645, 1, "AAAAAAAAAAAA", true});
    auto* tabs = answers->findChild<QTabWidget*>("tabSimulationTables");
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_FALSE(tabs->isTabEnabled(0));
    answers->findChild<QPushButton*>("cmdAddEntry")->click();
    auto* meter = answers->findChild<QTableWidget*>("lstMeterData");
    ASSERT_EQ(meter->rowCount(), 1);
    meter->item(0, 0)->setText("00010000");
    EXPECT_EQ(meter->item(0, 2)->text().section(' ', 0, 0),
              QString::fromStdString(FindDlt645Identifier(0x00010000)->name));
    meter->item(0, 1)->setText("1234.56");
    const SimulatedTables kept = inForce();
    EXPECT_EQ(kept.meter, (std::vector<MeterEntry>{{0x00010000, "1234.56"}}));
    EXPECT_TRUE(recorder.messages().empty());
    meter->item(0, 1)->setText("12a4");
    EXPECT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(meter->item(0, 1)->text(), "1234.56");
    EXPECT_EQ(inForce(), kept);
    // Tables a setup brings that cannot be used change nothing either.
    answers->setSimulation(true, {{}, {}, {{0x00010000, "x"}}});
    EXPECT_EQ(recorder.messages().size(), 2u);
    EXPECT_EQ(answers->tables(), kept);

    // Under the frame format the rules answer; the tick waits for a protocol.
    choose({});
    EXPECT_EQ(autoAnswer().simulation(), nullptr);
    EXPECT_FALSE(answers->findChild<QCheckBox*>("chkSimulate")->isEnabled());
    EXPECT_TRUE(answers->simulating());
}

} // namespace
