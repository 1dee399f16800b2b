// The send and receive views as the main window uses them: Ctrl+C and the
// reception headers.
#include "FindBar.h"
#include "MainWindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <tuple>

using namespace quorvane;

namespace
{

using ViewsInTheWindow = MainWindowTest;

TEST_F(ViewsInTheWindow, CtrlCInAFocusedViewCopies)
{
    typeSend("1 2");
    clickSend();
    port->raiseBytes({0x4F, 0x4B});
    ASSERT_TRUE(port->PortOpen());
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    for (AppendView* view : {txtRView(), txtSView()}) {
        view->setFocus();
        view->selectAll();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        EXPECT_TRUE(port->PortOpen()) << "Ctrl+C with a selection copies";
        EXPECT_EQ(QGuiApplication::clipboard()->text(), view->text());
    }

    txtRView()->setFocus();
    QTest::mouseClick(txtRView()->viewport(), Qt::LeftButton, {}, txtRView()->pointOf(0, 1));
    ASSERT_FALSE(txtRView()->hasSelection());
    QTest::keyClick(txtRView(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(port->PortOpen()) << "a focused view keeps Ctrl+C even with nothing selected";
}

TEST_F(ViewsInTheWindow, ReceptionsShowUnderTheirHeaders)
{
    find<QComboBox>("cmbRcv")->setCurrentIndex(2);
    typeSend("1");
    clickSend();
    port->raiseBytes({0x00, 0x0A});
    clickSend();
    port->raiseBytes({0xFF});
    EXPECT_EQ(txtRView()->visualLineCount(), 2);
    EXPECT_EQ(txtRView()->visualLineText(0), "12:34:56接收：0 A ");
    EXPECT_EQ(txtRView()->visualLineText(1), "12:34:56接收：FF ");
}

// In string display the receive view's find bar looks for hex bytes as the
// characters they make in the encoding the send mode dialog chose, and only
// in what was received: the header's characters are not found.
TEST_F(ViewsInTheWindow, HexFindInStringDisplayFollowsTheEncoding)
{
    find<QComboBox>("cmbRcv")->setCurrentIndex(ModeString);
    auto* bar = find<FindBar>("findRView");
    bar->findChild<QCheckBox*>("chkFindHex")->setChecked(true);
    typeSend("1");
    const QString cut = QStringLiteral("字符串显示中这些字节不成完整的字符,无法查找");
    for (const auto& [encoding, bytes, query, status] :
         {std::tuple{EncodingUtf8, ByteList{0xE4, 0xB8, 0xAD}, "E4 B8 AD", QString("共 1 处")},
          std::tuple{EncodingUtf8, ByteList{}, "E6 8E A5", QString("无匹配")}, // 接
          std::tuple{EncodingGbk, ByteList{0xD6, 0xD0}, "D6 D0", QString("共 2 处")},
          std::tuple{EncodingGbk, ByteList{}, "D6", cut}}) {
        Shared().TextEncoding = encoding;
        window->sendChoicesApplied(); // as the dialog's OK does
        clickSend();
        if (!bytes.empty()) {
            port->raiseBytes(bytes);
        }
        bar->findChild<QLineEdit*>("txtFind")->setText(QString::fromLatin1(query));
        EXPECT_TRUE(WaitUntil([&] { return bar->status() == status; }))
            << query << ": " << bar->status().toStdString();
    }
}

} // namespace
