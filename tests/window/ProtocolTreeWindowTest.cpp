// The reading window (查看 → 解析...): a reception read by the protocol shown
// field by field, a selection of the receive view read instead, the copy of
// the tree, and the window under the documented frame format.
#include "ProtocolTreeWindow.h"
#include "LineEngine.h"
#include "MainWindowFixture.h"
#include "ViewMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTreeWidget>

using namespace quorvane;

namespace {

const ByteList kRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
const ByteList kReply = {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x32}; // registers 1, 2

class ProtocolTree : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Shared().protocol = ProtocolChoice{ProtocolModbusRtu};
    }
    void TearDown() override { Shared().protocol = ProtocolChoice{}; }

    ProtocolTreeWindow* open()
    {
        window->view().ProtocolTree_Click();
        return window->view().protocolTreeWindow();
    }
    // A reception the engine read as the reply to kRequest.
    void receive(const ByteList& bytes)
    {
        auto decoded = std::make_shared<DecodedReception>();
        decoded->bytes = bytes;
        decoded->reading = ReadProtocolFrame(bytes, Shared().protocol, kRequest);
        ReceptionEnd end;
        end.check = decoded->reading.check;
        end.decoded = std::move(decoded);
        emit window->engine().receptionEnded(end);
    }
};

TEST_F(ProtocolTree, ShowsTheLatestReceptionFieldByFieldAndCopiesIt)
{
    const QList<QAction*> items = find<QMenu>("View")->actions();
    EXPECT_EQ(items.front()->text(), "图表...");
    EXPECT_EQ(items.back()->text(), "解析..."); // appended last

    receive(kReply); // read before the window opens
    ProtocolTreeWindow* tree = open();
    EXPECT_EQ(tree->accessibleName() + tree->tree()->accessibleName(), "解析解析结果");
    EXPECT_EQ(tree->note(), "最新接收 (9 字节)");

    // The verdict on top, the fields in the tree's columns, the registers
    // under the data: the copy gives them as the tree holds them.
    const QTreeWidget* view = tree->tree();
    const QString verdict = view->topLevelItem(0)->text(0);
    EXPECT_EQ(verdict, VerdictWords(ReadProtocolFrame(kReply, Shared().protocol, kRequest).check));
    EXPECT_TRUE(verdict.startsWith("校验正确 ") && !verdict.endsWith("]")) << verdict.toStdString();
    const QList<QTreeWidgetItem*> nested =
        view->findItems("*", Qt::MatchWildcard | Qt::MatchRecursive);
    EXPECT_EQ(nested.size() - view->topLevelItemCount(), 2) << "two registers nested";
    tree->Copy_Click();
    const QString copied = QGuiApplication::clipboard()->text();
    const QStringList lines = copied.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.mid(0, 3), (QStringList{"字段\t字节\t值", verdict, "从站地址\t01\t01"}));
    EXPECT_TRUE(lines.value(3).startsWith("功能码\t03\t"));
    const qsizetype data = lines.indexOf("  寄存器 0\t00 01\t1") - 1;
    ASSERT_GT(data, 3);
    EXPECT_TRUE(lines[data].contains("\t00 01 00 02\t")) << lines[data].toStdString();
    EXPECT_EQ(lines.value(data + 2), "  寄存器 1\t00 02\t2");
    EXPECT_TRUE(lines.value(data + 3).startsWith("校验\t2A 32\t"));

    // Ctrl+C copies the same wherever the focus is in the window: the key
    // is not 关闭串口's there.
    QApplication::setActiveWindow(tree);
    ASSERT_TRUE(QTest::qWaitForWindowActive(tree));
    for (QWidget* focus : {static_cast<QWidget*>(tree->tree()),
                           static_cast<QWidget*>(tree->findChild<QPushButton*>("cmdCopyTree"))}) {
        focus->setFocus();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
        EXPECT_TRUE(QGuiApplication::clipboard()->text() == copied)
            << focus->objectName().toStdString();
    }

    receive({0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x33});
    QTRY_COMPARE(view->topLevelItem(0)->text(0), QString("校验错误 应为 2A 32 收到 2A 33"));
}

// A burst is shown once, after a short wait, as its last; a closed window
// builds nothing and opens on the latest.
TEST_F(ProtocolTree, ABurstIsShownOnceAsItsLast)
{
    ProtocolTreeWindow* tree = open();
    EXPECT_EQ(tree->note(), "尚未收到数据");
    for (int i = 0; i < 50; ++i) {
        receive(i % 2 ? kReply : ByteList{0x01, 0x03});
    }
    EXPECT_EQ(tree->note(), "尚未收到数据") << "rebuilt within the burst";
    QTRY_COMPARE(tree->note(), QString("最新接收 (9 字节)"));

    tree->hide();
    receive({0x01, 0x03, 0x04});
    QTest::qWait(150);
    EXPECT_EQ(tree->note(), "最新接收 (9 字节)") << "rebuilt while closed";
    open();
    EXPECT_EQ(tree->note(), "最新接收 (3 字节)");
}

// 解析所选 reads the hex the receive view shows (one digit below 10) and
// holds it until 最新接收; anything else selected is told in the window.
TEST_F(ProtocolTree, ReadsTheHexBytesSelectedInTheReceiveView)
{
    const std::string header = "12:34:56接收：";
    txtRView()->appendBytes(header + "1 3 4 0 1 0 2 2A 32 ");
    txtRView()->selectRange(header.size(), txtRView()->byteCount());
    ProtocolTreeWindow* tree = open();
    receive({0x01, 0x83, 0x02});
    QTest::mouseClick(tree->findChild<QPushButton*>("cmdParseSelection"), Qt::LeftButton);
    EXPECT_EQ(tree->note(), "所选字节 (9 个)");
    EXPECT_TRUE(tree->tree()->topLevelItem(0)->text(0).startsWith("校验正确"));
    receive(kReply);
    QTest::qWait(150);
    EXPECT_EQ(tree->note(), "所选字节 (9 个)") << "a reception replaced the selection";

    txtRView()->selectAll(); // the header too
    tree->ReadSelection_Click();
    EXPECT_TRUE(tree->note().startsWith("所选内容不是十六进制字节")) << tree->note().toStdString();
    EXPECT_EQ(tree->tree()->topLevelItemCount(), 0);
    EXPECT_TRUE(recorder.messages().empty()) << "no box";
    txtRView()->selectRange(0, 0);
    tree->ReadSelection_Click();
    EXPECT_EQ(tree->note(), "接收区未选择字节");

    QTest::mouseClick(tree->findChild<QPushButton*>("cmdParseLatest"), Qt::LeftButton);
    EXPECT_EQ(tree->note(), "最新接收 (9 字节)");

    EXPECT_EQ(ReadSelectedHex("01 03\r\n04 0a\tFF").bytes, (ByteList{1, 3, 4, 0x0A, 0xFF}));
    for (const char* text : {"0010  01 02", "01 0x02", " \r\n"}) {
        EXPECT_FALSE(ReadSelectedHex(text).problem.isEmpty()) << text;
    }
}

TEST_F(ProtocolTree, SaysWhenNoProtocolIsChosen)
{
    receive(kReply);
    Shared().protocol.kind = ProtocolCustom;
    ProtocolTreeWindow* tree = open();
    EXPECT_EQ(tree->note(), "未选择协议 (配置 → 协议...)");
    EXPECT_EQ(tree->tree()->topLevelItemCount(), 0);

    Shared().protocol.kind = ProtocolModbusRtu;
    tree->Latest_Click();
    EXPECT_EQ(tree->note(), "最新接收 (9 字节)");
}

} // namespace
