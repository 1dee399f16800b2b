// The session record: "记录到文件..." appends one time-stamped line per event
// to the chosen file, and stops with a message when the file fails.
#include "MainWindowFixture.h"
#include "PortPath.h"
#include "SessionRecord.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace quorvane;

namespace
{

class Record : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        window->record().setClock([] { return std::string("2026-12-07 08:00:00.000"); });
        window->setRecordFileChooser([this](const QString& proposed) {
            proposedFile = proposed;
            return chosenFile;
        });
    }
    QAction* item() const { return find<QAction>("LogToFile"); }
    QStringList lines() const
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    QString path = dir.filePath("session.log");
    QString chosenFile = path;
    QString proposedFile;
};

TEST_F(Record, EveryEventIsOneLineInTheChosenFile)
{
    item()->trigger();
    EXPECT_TRUE(item()->isChecked());
    EXPECT_TRUE(proposedFile.contains(QRegularExpression(R"(/quorvane-\d{8}-\d{6}\.log$)")))
        << proposedFile.toStdString();

    typeSend("1 2 3");
    clickSend();
    port->raiseBytes({0x4F, 0x4B}, 1);
    port->raise(SerialPort::comEventBreak);
    window->timeRcv_Timer();
    Shared().RcvMaxChars = 0;
    clickSend();
    port->raiseBytes({0x01, 0x02}); // overflows: the port closes
    item()->trigger();               // unchecked: the file is closed
    EXPECT_FALSE(item()->isChecked());
    clickSend(); // not recorded

    const QString t = QStringLiteral("2026-12-07 08:00:00.000 ");
    const QString device = QString::fromStdString(ComDevicePath(2));
    const QStringList expected = {t + "串口打开 COM2 " + device + " 9600,n,8,1",
                                  t + "发送 00 03 01 02 03 03 FF",
                                  t + "奇偶校验错误 ×1",
                                  t + "接收 (+t) 4F 4B",
                                  t + "接收到Break",
                                  t + "接收超时",
                                  t + "发送 00 03 01 02 03 03 FF",
                                  t + "接收 (+t) 01 02",
                                  t + "接收字节数超限",
                                  t + "串口关闭 COM2"};
    // A reception's first bytes carry its response time.
    EXPECT_EQ(lines().replaceInStrings(QRegularExpression(R"(\(\+\d+\.\dms\))"), "(+t)"),
              expected);
}

TEST_F(Record, ACancelledOrUnopenableFileRecordsNothing)
{
    chosenFile.clear(); // the file dialog cancelled
    item()->trigger();
    EXPECT_FALSE(item()->isChecked());
    EXPECT_TRUE(recorder.messages().empty());

    chosenFile = dir.filePath("no/such/folder/x.log");
    item()->trigger();
    EXPECT_FALSE(item()->isChecked());
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"无法打开记录文件,请更换文件"});
    EXPECT_FALSE(window->record().isRecording());
}

TEST_F(Record, AWriteErrorStopsRecordingWithAMessage)
{
    chosenFile = "/dev/full"; // every write fails: no space left
    item()->trigger();
    ASSERT_TRUE(item()->isChecked());
    typeSend("1");
    clickSend();
    window->close(); // the last lines are written at the latest when the window closes
    EXPECT_TRUE(WaitUntil([&] { return !recorder.messages().empty(); }));
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"写入记录文件失败,已停止记录"});
    EXPECT_FALSE(item()->isChecked());
    EXPECT_FALSE(window->record().isRecording());
}

// A line at the wrong baud rate looks like a storm of breaks: it raises one
// box, the user's next frame starts afresh, and the record counts them all.
TEST_F(Record, ABreakStormRaisesOneBoxAndIsCountedInOneLine)
{
    item()->trigger();
    typeSend("1 2 3");
    clickSend();
    recorder.setWhileOpen([&](const Message&) {
        for (int i = 0; i < 500; ++i) {
            port->raise(SerialPort::comEventBreak); // under the open box
        }
    });
    for (int i = 0; i < 1001 - 500; ++i) {
        port->raise(SerialPort::comEventBreak); // the first opens the box, the rest follow it
    }
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{"接收到Break"});

    recorder.setWhileOpen({});
    clickSend();
    port->raise(SerialPort::comEventBreak);
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"接收到Break", "接收到Break"}));
    item()->trigger();
    const QString t = QStringLiteral("2026-12-07 08:00:00.000 ");
    EXPECT_EQ(lines().mid(2, 3),
              (QStringList{t + "接收到Break ×1001", t + "发送 00 03 01 02 03 03 FF",
                           t + "接收到Break"}));
}

// 记录格式 CSV: a row per frame written, per reception (its bytes and
// verdict once it has ended), per time-out and per event of the port, after
// a byte-order mark and the header; the format cannot change while a record
// is written.
TEST_F(Record, AsCsvOneRowPerFrameReceptionAndTimeout)
{
    find<QAction>("RecordCsv")->trigger();
    item()->trigger();
    EXPECT_FALSE(find<QMenu>("RecordFormat")->isEnabled());
    Shared().CheckReply = true;
    typeSend("1 2 3");
    clickSend();
    port->raiseBytes({0x00, 0x03, 0x01});
    port->raiseBytes({0x02, 0x03, 0x03, 0xFF});
    clickSend(); // ends the reception before it
    window->timeRcv_Timer();
    find<QAction>("DtrPulse")->trigger(); // an event of the port: a row of its own
    item()->trigger();
    EXPECT_TRUE(find<QMenu>("RecordFormat")->isEnabled());

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")) << "a spreadsheet reads it as UTF-8";
    const QString t = QStringLiteral("2026-12-07T08:00:00.000,");
    const QStringList rows = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    // The port's settings hold commas: the cell is quoted.
    EXPECT_TRUE(rows.value(1).startsWith(t + "串口打开,,\"COM2 ")) << rows.value(1).toStdString();
    EXPECT_EQ(QStringList(rows).replaceInStrings(QRegularExpression(R"(,\d+\.\d{3}$)"), ",t"),
              (QStringList{"时间,方向,字节,判定,响应(ms)", rows.value(1),
                           t + "发送,00 03 01 02 03 03 FF,,",
                           t + "接收,00 03 01 02 03 03 FF,校验正确,t",
                           t + "发送,00 03 01 02 03 03 FF,,", t + "接收,,接收超时,",
                           t + "脉冲,,DTR 100ms,", ""}));
}

} // namespace
