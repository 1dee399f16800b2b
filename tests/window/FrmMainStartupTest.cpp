#include "MainWindowFixture.h"

#include "PortReference.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>

using namespace quorvane;

namespace {

using Startup = MainWindowTest;

TEST_F(Startup, WindowCaptionsAndInitialContents)
{
    EXPECT_EQ(window->windowTitle(), "Quorvane");
    EXPECT_EQ(window->centralWidget()->size(), QSize(424, 419));
    // Two rows of 22: the port state, date and time above, the line and the
    // run's figures below.
    EXPECT_EQ(window->statusBar()->height(), 44);
    EXPECT_EQ(find<QLabel>("ComStatus")->geometry().top(), 0);
    EXPECT_EQ(find<QLabel>("SummaryPanel")->geometry().top(), 22);
    const std::pair<const char*, const char*> captions[] = {
        {"cmdSendset", "发送形式"}, {"cmdFrame", "发送帧格式"}, {"cmdSClr", "清 空"},
        {"cmdFresh", "刷 新"},      {"cmdSend", "发 送"},       {"cmdRcvset", "接收参数设置"},
        {"cmdRClr", "清 空"},       {"cmdExit", "退 出"}};
    for (const auto& [name, caption] : captions) {
        EXPECT_EQ(find<QPushButton>(name)->text(), QString::fromUtf8(caption)) << name;
        EXPECT_EQ(find<QPushButton>(name)->accessibleName(), QString::fromUtf8(caption));
    }
    EXPECT_EQ(find<QGroupBox>("Frame1")->title(), "发送区");
    EXPECT_EQ(find<QGroupBox>("Frame2")->title(), "接收区");
    EXPECT_EQ(find<QLabel>("lblSendset")->text(), "(单次发送十进制字节串(空格隔开))");
    EXPECT_EQ(find<QLabel>("Label2")->text(), "发送帧:显示为");
    EXPECT_EQ(find<QLabel>("Label4")->text(), "接收数据:显示为");
    EXPECT_EQ(status(), "串口状态：关闭");
    EXPECT_FALSE(find<QLabel>("DatePanel")->text().isEmpty());
    EXPECT_FALSE(find<QLabel>("TimePanel")->text().isEmpty());
    EXPECT_TRUE(txtSend()->toPlainText().isEmpty());
    EXPECT_TRUE(sendView().isEmpty());
    EXPECT_TRUE(rcvView().isEmpty());
    for (const char* list : {"cmbSend", "cmbRcv"}) {
        auto* combo = find<QComboBox>(list);
        ASSERT_EQ(combo->count(), 4);
        EXPECT_EQ(combo->itemText(0), "字符串");
        EXPECT_EQ(combo->itemText(1), "十进制字节串(空格隔开)");
        EXPECT_EQ(combo->itemText(2), "十六进制字节串(空格隔开)");
        EXPECT_EQ(combo->itemText(3), "十六进制+字符");
        EXPECT_EQ(combo->currentIndex(), 1);
    }
}

TEST_F(Startup, ControlsStandAtTheirPositions)
{
    const struct {
        const char* name;
        QRect rect;
    } places[] = {{"Frame1", {9, 0, 409, 223}},     {"cmdSendset", {318, 12, 60, 22}},
                  {"txtSend", {15, 39, 385, 30}},   {"cmbSend", {96, 79, 178, 20}},
                  {"cmdFrame", {309, 79, 72, 22}},  {"txtSView", {15, 106, 385, 81}},
                  {"cmdSClr", {111, 194, 57, 22}},  {"cmdFresh", {216, 194, 57, 22}},
                  {"cmdSend", {318, 194, 63, 22}},  {"Frame2", {8, 230, 409, 188}},
                  {"cmbRcv", {108, 18, 178, 20}},   {"cmdRcvset", {303, 15, 88, 22}},
                  {"txtRView", {16, 48, 385, 105}}, {"cmdRClr", {198, 160, 61, 22}},
                  {"cmdExit", {303, 160, 61, 22}}};
    for (const auto& p : places) {
        EXPECT_EQ(find(p.name)->geometry(), p.rect) << p.name;
    }
}

TEST_F(Startup, TheWindowGrowsItsViewsAndNeverShrinksBelowItsSize)
{
    const QSize documented = window->size();
    EXPECT_EQ(window->minimumSize(), documented);
    auto edgesOf = [&](const char* name) {
        const QWidget* w = find(name);
        const QRect group = w->parentWidget()->rect();
        return std::pair{group.right() - w->geometry().right(),
                         group.bottom() - w->geometry().bottom()};
    };
    const auto sendButton = edgesOf("cmdSend");
    const auto exitButton = edgesOf("cmdExit");
    const QRect send = find("txtSView")->geometry();
    const QRect receive = find("txtRView")->geometry();

    window->resize(documented + QSize(600, 400));
    ASSERT_TRUE(WaitUntil([&] { return window->centralWidget()->width() == 424 + 600; }));
    const QRect sendGrown = find("txtSView")->geometry();
    const QRect receiveGrown = find("txtRView")->geometry();
    EXPECT_EQ(sendGrown.width(), send.width() + 600);
    EXPECT_EQ(receiveGrown.width(), receive.width() + 600);
    EXPECT_GT(sendGrown.height(), send.height());
    EXPECT_GT(receiveGrown.height() - receive.height(), 2 * (sendGrown.height() - send.height()));
    EXPECT_EQ(find("Frame2")->height() - 188, 400 * 85 / 100)
        << "the receive area takes 85 % of the extra height";
    EXPECT_GT(find("txtSend")->height(), 30) << "the send box takes a few more lines";
    EXPECT_EQ(edgesOf("cmdSend"), sendButton);
    EXPECT_EQ(edgesOf("cmdExit"), exitButton);
    EXPECT_EQ(find("cmdSendset")->x(), 318 + 600);

    window->resize(documented - QSize(100, 100));
    ASSERT_TRUE(WaitUntil([&] { return window->centralWidget()->width() == 424; }));
    EXPECT_EQ(find("txtRView")->geometry(), receive);
    EXPECT_EQ(find("txtSView")->geometry(), send);
}

TEST_F(Startup, TabOrderFollowsTheLayout)
{
    const char* order[] = {"cmdSendset", "txtSend",  "cmdFrame",  "cmbSend", "cmdSClr",
                           "cmdFresh",   "cmdSend",  "cmdRcvset", "cmbRcv",  "cmdRClr",
                           "cmdExit",    "txtSView", "txtRView"};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget* from = find(order[i]);
        if (from->focusProxy()) {
            from = from->focusProxy();
        }
        QWidget* next = from->nextInFocusChain();
        // Views forward focus to their inner edit; skip non-focusable children.
        while (next && !(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        QWidget* expected = find(order[i + 1]);
        EXPECT_TRUE(next == expected || next == expected->focusProxy())
            << order[i] << " -> " << order[i + 1];
    }
}

TEST_F(Startup, MenusWithAccessKeysAndShortcuts)
{
    const auto menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 6);
    EXPECT_EQ(menus[0]->text(), "串口设置(&S)");
    EXPECT_EQ(menus[1]->text(), "配置(&P)");
    EXPECT_EQ(menus[2]->text(), "记录(&L)");
    EXPECT_EQ(menus[3]->text(), "编辑(&E)");
    EXPECT_EQ(menus[4]->text(), "查看(&V)");
    EXPECT_EQ(menus[5]->text(), "帮助(&H)");
    EXPECT_EQ(find<QAction>("Chart")->text(), "图表...");
    EXPECT_EQ(find<QAction>("Chart")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
    EXPECT_TRUE(find<QAction>("RecordText")->isChecked()) << "the record is text unless chosen";
    EXPECT_EQ(find<QAction>("Find")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(find<QAction>("SelectAll")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_TRUE(find<QAction>("Copy")->shortcut().isEmpty()) << "Ctrl+C keeps its rule";
    EXPECT_EQ(find<QAction>("LogToFile")->text(), "记录到文件...");
    EXPECT_TRUE(find<QAction>("LogToFile")->isCheckable());
    EXPECT_EQ(find<QAction>("ComSet")->text(), "通信设置");
    EXPECT_EQ(find<QAction>("ComSet")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(find<QAction>("Close")->text(), "关闭串口");
    EXPECT_EQ(find<QAction>("Close")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(find<QAction>("shm")->text(), "帮助主题");
    EXPECT_EQ(find<QAction>("shm")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(find<QAction>("about")->text(), "关于...");
}

TEST_F(Startup, LoadConfiguresThePortWithoutOpeningIt)
{
    const std::vector<std::string> expected = {
        "setCommPort 2", "setSettings 9600,n,8,1", "setInputMode binary", "setRThreshold 1",
        "setInputLen 0", "setOutBufferCount 0",    "setInBufferCount 0"};
    EXPECT_EQ(port->configurationCalls(), expected);
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(port->openCount(), 0);
    EXPECT_EQ(SharedPort(), port);
    EXPECT_EQ(window->timeRcv().interval(), 50);
    EXPECT_FALSE(window->timeRcv().isEnabled());
    EXPECT_FALSE(window->timer1().isEnabled());
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(Startup, ClearButtonsEmptyOnlyTheirView)
{
    typeSend("1 2 3");
    clickSend();
    port->raiseBytes({1});
    ASSERT_FALSE(sendView().isEmpty());
    ASSERT_FALSE(rcvView().isEmpty());
    click("cmdSClr");
    EXPECT_TRUE(sendView().isEmpty());
    EXPECT_FALSE(rcvView().isEmpty());
    EXPECT_EQ(window->sendFrame(), kDefaultFrame123);
    click("cmdRClr");
    EXPECT_TRUE(rcvView().isEmpty());
    // The reception goes on under the same header: no new header after clearing.
    port->raiseBytes({2});
    EXPECT_EQ(rcvView(), " 2");
}

TEST_F(Startup, ClosePortItem)
{
    find<QAction>("Close")->trigger();
    EXPECT_EQ(status(), "串口状态：关闭");
    EXPECT_EQ(port->closeCount(), 0);

    typeSend("1");
    clickSend();
    ASSERT_EQ(status(), "串口状态：打开");
    window->setPortStatus("untouched");
    find<QAction>("Close")->trigger();
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(status(), "串口状态：关闭");
    window->setPortStatus("untouched");
    find<QAction>("Close")->trigger(); // closed already: the panel is left alone
    EXPECT_EQ(status(), "untouched");
}

// Ctrl+C in a focused text box is copy, with or without a selection; with the
// focus anywhere else it is "关闭串口".
TEST_F(Startup, CtrlCCopiesInAFocusedBoxAndClosesThePortElsewhere)
{
    typeSend("1 2");
    clickSend();
    ASSERT_TRUE(port->PortOpen());
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    txtSend()->setFocus();
    txtSend()->selectAll();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(txtSend(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(port->PortOpen()) << "Ctrl+C with a selection copies";
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "1 2");

    QTextCursor cursor = txtSend()->textCursor();
    cursor.clearSelection();
    txtSend()->setTextCursor(cursor);
    QTest::keyClick(txtSend(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(port->PortOpen()) << "nothing selected: nothing happens";

    cmdSend()->setFocus();
    QTest::keyClick(cmdSend(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(status(), "串口状态：关闭");
}

TEST_F(Startup, HangUpShowsTheClosedStateAndTheNextFrameReopens)
{
    typeSend("1");
    clickSend();
    port->hangUp();
    EXPECT_EQ(status(), "串口状态：关闭");
    EXPECT_TRUE(recorder.messages().empty());
    clickSend();
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(status(), "串口状态：打开");
}

TEST_F(Startup, ExitClosesThePortAndEndsTheWindow)
{
    typeSend("1");
    clickSend();
    window->setTimer1Interval(100);
    QSignalSpy unloaded(window.get(), &FrmMain::unloaded);
    click("cmdExit");
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->timer1().isEnabled());
    EXPECT_FALSE(window->timeRcv().isEnabled());
}

} // namespace
