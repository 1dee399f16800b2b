// The send and receive views as the main window uses them: Ctrl+C and the
// reception headers.
#include "MainWindowFixture.h"

#include <QApplication>
#include <QClipboard>

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

} // namespace
