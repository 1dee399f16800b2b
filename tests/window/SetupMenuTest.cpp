// Setups in the window: saved and opened again whole, refused whole, and
// saved commands sent as typed text is.
#include "SetupMenu.h"
#include "ChartFeed.h"
#include "ChartWindow.h"
#include "CommandWindow.h"
#include "FrmFrame.h"
#include "FrmRcvset.h"
#include "MainWindowFixture.h"
#include "SetupText.h"
#include "ViewMenu.h"

#include <QAction>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <sys/stat.h>

using namespace quorvane;

namespace {

class Setups : public MainWindowTest {
protected:
    void write(const QString& name, const std::string& text)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), static_cast<qint64>(text.size()));
    }
    SetupMenu& setup() { return window->setup(); }
    QTemporaryDir dir;
};

// The chart's panes and fields come from a setup and go back into one; a
// field reads the data area of a reply 校验应答 accepts, and nothing of one
// it refuses.
TEST_F(Setups, TheChartsPanesAndFieldsReadTheReplies)
{
    quorvane::Setup chosen;
    chosen.StartByte = "01";
    chosen.CmdByte = "03";
    chosen.LenOption = 0;
    chosen.EndByte = "";
    chosen.FcsMethod = FcsCrc16Modbus;
    chosen.FcsByteOrder = FcsLowFirst;
    chosen.CheckReply = true;
    chosen.opt2 = 2;
    chosen.SendText = "00 05 00 01";
    chosen.ChartHistogram = true;
    chosen.ChartFields = {{"寄存器5", "V", FieldArea::DataArea, 1, 2, false, true, 0.5, 10}};
    write("chart.qvs", WriteSetupText(chosen));
    ASSERT_TRUE(setup().OpenSetup(dir.filePath("chart.qvs")));
    EXPECT_EQ(setup().Collect(), chosen);
    find<QAction>("Chart")->trigger();
    auto* chart = find<ChartWindow>("frmChart");
    EXPECT_TRUE(chart->findChild<QAction*>(QStringLiteral("paneHistogram"))->isChecked());
    EXPECT_FALSE(chart->findChild<QAction*>(QStringLiteral("paneThroughput"))->isChecked());

    clickSend();
    port->raiseBytes({0x01, 0x03, 0x02, 0x00, 0x7B, 0xF8, 0x67});
    clickSend(); // ends the reception before it
    port->raiseBytes({0x01, 0x03, 0x02, 0x00, 0x7B, 0xF8, 0x66}); // a wrong CRC
    clickSend();
    const RunPoints& points = window->view().feed().points();
    ASSERT_EQ(points.receptionCount(), 2u);
    EXPECT_EQ(points.reception(0).values[0], 123 * 0.5 + 10);
    EXPECT_EQ(points.reception(1).values[0], std::nullopt);
    EXPECT_EQ(points.missing(0), 1u);
}

TEST_F(Setups, ASavedSetupOpensInAFreshWindowAsItWasLeft)
{
    quorvane::Setup chosen;
    chosen.StartByte = "01";
    chosen.CmdByte = "03";
    chosen.LenOption = 0;
    chosen.EndByte = "";
    chosen.FcsMethod = FcsCrc16Modbus;
    chosen.FcsByteOrder = FcsLowFirst;
    chosen.RcvTimeoutMs = 300;
    chosen.CheckReply = true;
    chosen.opt2 = 2;
    chosen.IntervalMs = 250;
    chosen.Port = 3;
    chosen.BaudRate = 250000;
    chosen.Parity = 'e';
    chosen.Handshaking = 1;
    chosen.Dtr = false;
    chosen.Rs485 = true;
    chosen.Rs485RtsHigh = false;
    chosen.Rs485AfterMs = 20;
    chosen.ReceiveViewMode = 3;
    chosen.SendText = "00 00 00 0A";
    chosen.Commands = {{"读寄存器", "00 00 00 0A", 2}, {"问候", "hi\r\n", 0}};
    write("modbus.qvs", WriteSetupText(chosen));
    click("cmdFrame"); // left open, its OK would put the old frame back
    click("cmdRcvset"); // and this one's the old time-out and limit
    ASSERT_TRUE(setup().OpenSetup(dir.filePath("modbus.qvs")));
    EXPECT_TRUE(recorder.messages().empty());
    EXPECT_TRUE(WaitUntil([&] { return window->findChild<FrmFrame*>() == nullptr; }));
    EXPECT_TRUE(WaitUntil([&] { return window->findChild<FrmRcvset*>() == nullptr; }));
    EXPECT_EQ(setup().Collect(), chosen);
    EXPECT_EQ(port->CommPort(), 3);
    EXPECT_EQ(port->Settings(), "250000,e,8,1");
    EXPECT_EQ(find<QLabel>("lblSendset")->text(), "(单次发送十六进制字节串(空格隔开))");
    EXPECT_EQ(window->timeRcv().interval(), 300);

    ASSERT_TRUE(setup().SaveSetup(dir.filePath("again.qvs")));
    QFile saved(dir.filePath("again.qvs"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), WriteSetupText(chosen));
    EXPECT_EQ(setup().recentFiles().front(), dir.filePath("again.qvs"));
}

TEST_F(Setups, ABadFileChangesNothingAndNamesItsFirstProblem)
{
    const quorvane::Setup before = setup().Collect();
    quorvane::Setup wrong;
    wrong.SendText = "12 AB";
    wrong.opt2 = 1; // letters the decimal keys refuse
    const struct {
        const char* name;
        std::string text;
        const char* problem;
    } files[] = {
        {"empty.qvs", "", "配置文件无效: 不是Quorvane配置文件"},
        {"baud.qvs",
         [] {
             std::string t = WriteSetupText({});
             return t.replace(t.find("baud=9600"), 9, "baud=5000001");
         }(),
         "配置文件无效: [port] baud=5000001 超出范围(50-4000000)"},
    };
    for (const auto& f : files) {
        recorder.clear();
        write(f.name, f.text);
        EXPECT_FALSE(setup().OpenSetup(dir.filePath(f.name))) << f.name;
        EXPECT_EQ(recorder.texts(), std::vector<std::string>{f.problem}) << f.name;
        EXPECT_EQ(setup().Collect(), before) << f.name;
    }
    // A pipe is refused at once, not waited on for a writer.
    ASSERT_EQ(mkfifo(dir.filePath("pipe.qvs").toLocal8Bit().constData(), 0600), 0);
    recorder.clear();
    EXPECT_FALSE(setup().OpenSetup(dir.filePath("pipe.qvs")));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"配置文件无效: 无法读取文件"});

    // A send text its format's keys could not have typed is what the box
    // holds after its format changed: saved that way, it opens that way.
    write("text.qvs", WriteSetupText(wrong));
    EXPECT_TRUE(setup().OpenSetup(dir.filePath("text.qvs")));
    EXPECT_EQ(setup().Collect().SendText, "12 AB");
}

TEST_F(Setups, AFailedSaveKeepsTheOldFile)
{
    write("kept.qvs", "old");
    window->findChild<CommandWindow*>()->setCommands({{"", "1", 1}}); // cannot be saved
    EXPECT_FALSE(setup().SaveSetup(dir.filePath("kept.qvs")));
    window->findChild<CommandWindow*>()->setCommands({{"一", "1", 1}});
    EXPECT_FALSE(setup().SaveSetup(dir.filePath("no/such/folder/x.qvs")));
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"无法保存配置文件: 命令 1 的名称为空",
                                                          "无法保存配置文件"}));
    QFile kept(dir.filePath("kept.qvs"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old");
}

TEST_F(Setups, ACommandFromTheListSendsWhatTypingItSends)
{
    typeSend("1 2 3");
    clickSend();
    const ByteList typed = port->outputs().back();
    typeSend("");
    auto* commands = window->findChild<CommandWindow*>();
    commands->setCommands({{"一二三", "1 2 3", 1}, {"十六进制", "0A", 2}});
    commands->findChild<QTableWidget*>()->selectRow(0);
    QTest::mouseClick(commands->findChild<QPushButton*>("cmdSend"), Qt::LeftButton);
    EXPECT_EQ(port->outputs().back(), typed);
    EXPECT_EQ(txtSend()->toPlainText(), "1 2 3");

    commands->findChild<QTableWidget*>()->selectRow(1);
    commands->cmdSend_Click();
    EXPECT_EQ(port->outputs().back(), (ByteList{0x00, 0x01, 0x0A, 0x0B, 0xFF}));
    EXPECT_EQ(Shared().opt2, 2) << "the command's format is committed with it";
    EXPECT_TRUE(recorder.messages().empty());

    chooseTimedSending(1000);
    clickSend(); // timed sending runs: the list sends nothing
    const auto written = port->outputs().size();
    commands->cmdSend_Click();
    EXPECT_EQ(port->outputs().size(), written);
    clickSend();
}

// An edit that a setup could not hold is refused at once, and the cell
// shows what it held before.
TEST_F(Setups, TheCommandListRefusesAnEmptyNameOrATooLongText)
{
    auto* commands = window->findChild<CommandWindow*>();
    commands->setCommands({{"读", "1", 1}});
    auto* table = commands->findChild<QTableWidget*>();
    table->item(0, 0)->setText("");
    table->item(0, 1)->setText(QString(8193, u'1'));
    table->item(0, 0)->setText("写");
    EXPECT_EQ(recorder.texts(),
              (std::vector<std::string>{"命令名称不能为空", "发送数据应不超过8192个字符"}));
    EXPECT_EQ(commands->commands(), (std::vector<SavedCommand>{{"写", "1", 1}}));
}

} // namespace
