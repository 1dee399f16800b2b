#include "DialogFixture.h"
#include "FakeSystemTree.h"
#include "PortPath.h"

#include <QAction>

using namespace quorvane;

namespace
{

class PortDialog : public DialogTest
{
protected:
    void open() { window->findChild<QAction*>("ComSet")->trigger(); }
    QComboBox* list(int i)
    {
        return in<QComboBox>("frmCom", QStringLiteral("Combo1_%1").arg(i).toLatin1().constData());
    }
    void select(int i, const char* text) { list(i)->setCurrentText(QString::fromUtf8(text)); }
    QString status() const { return window->findChild<QLabel*>("ComStatus")->text(); }
};

TEST_F(PortDialog, FirstShowingPresentsTheStartupSettings)
{
    EXPECT_EQ(dialog("frmCom"), nullptr);
    open();
    QWidget* d = dialog("frmCom");
    ASSERT_NE(d, nullptr);
    Snapshot(d, "frmCom.png");
    EXPECT_EQ(d->windowTitle(), "通信参数设置");
    const char* expected[] = {"COM2", "9600", "8", "无", "1"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list(i)->currentText(), QString::fromUtf8(expected[i]));
        EXPECT_FALSE(list(i)->isEditable());
    }
    EXPECT_EQ(list(1)->count(), 6);
    EXPECT_EQ(list(2)->itemText(0), "4");
    EXPECT_EQ(list(3)->itemText(2), "偶校验");
    EXPECT_EQ(list(4)->itemText(1), "1.5");
}

TEST_F(PortDialog, PortItemsTellTheDeviceFoundAtEachShowing)
{
    test::FakeSystemTree tree;
    UseSystemFolders(tree.folders());
    qputenv("QUORVANE_COM3", "/dev/ttyUSB7");
    const auto tooltip = [&](int i) { return list(0)->itemData(i, Qt::ToolTipRole).toString(); };
    open();
    EXPECT_EQ(tooltip(0).toStdString(),
              "设备: " + tree.dev("ttyS0") + "\n来源: 默认\n状态: 不存在");
    EXPECT_EQ(tooltip(2), "设备: /dev/ttyUSB7\n来源: 环境变量\n状态: 不存在");
    clickIn("frmCom", "cmdcancel");

    tree.addUsbAdapter("ttyACM0", "Arduino (www.arduino.cc)", "0043");
    tree.plug("ttyACM0", "/dev/null");
    open();
    EXPECT_EQ(list(0)->itemText(1), "COM2");
    EXPECT_EQ(tooltip(1).toStdString(),
              "设备: " + tree.dev("ttyACM0") +
                  "\n说明: Arduino (www.arduino.cc) 0043\n来源: 自动检测\n状态: 存在");
    EXPECT_EQ(ComDevicePath(2), tree.dev("ttyACM0")) << "the port opens what the dialog shows";

    qunsetenv("QUORVANE_COM3");
    UseSystemFolders(std::nullopt);
    RefreshPortMap();
}

TEST_F(PortDialog, OkWithAClosedPortAppliesTheSettings)
{
    open();
    select(0, "COM4");
    select(1, "38400");
    select(2, "7");
    select(3, "偶校验");
    select(4, "1.5");
    window->setPortStatus("untouched");
    clickIn("frmCom", "cmdok");
    EXPECT_FALSE(dialog("frmCom")->isVisible());
    EXPECT_EQ(port->CommPort(), 4);
    EXPECT_EQ(port->Settings(), "38400,e,7,1.5");
    EXPECT_EQ(status(), "untouched");
    open();
    EXPECT_EQ(list(0)->currentText(), "COM4");
    EXPECT_EQ(list(4)->currentText(), "1.5");
}

TEST_F(PortDialog, OkClosesAnOpenPort)
{
    window->findChild<QPlainTextEdit*>("txtSend")->setPlainText("1");
    clickMain("cmdSend");
    ASSERT_TRUE(port->PortOpen());
    open();
    select(3, "奇校验");
    clickIn("frmCom", "cmdok");
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(status(), "串口状态：关闭");
    EXPECT_EQ(port->Settings(), "9600,o,8,1");
    clickMain("cmdSend");
    EXPECT_TRUE(port->PortOpen()) << "the next frame opens it with the new settings";
}

TEST_F(PortDialog, CancelRestoresTheSavedSelections)
{
    open();
    select(1, "1200");
    clickIn("frmCom", "cmdok");
    open();
    select(1, "4800");
    select(0, "COM1");
    clickIn("frmCom", "cmdcancel");
    EXPECT_EQ(port->Settings(), "1200,n,8,1");
    EXPECT_EQ(port->CommPort(), 2);
    open();
    EXPECT_EQ(list(1)->currentText(), "1200");
    EXPECT_EQ(list(0)->currentText(), "COM2");

    // "默认" replaces the saved texts too, so Cancel keeps the defaults.
    clickIn("frmCom", "Command1");
    QTest::keyClick(list(1), Qt::Key_Escape);
    EXPECT_FALSE(dialog("frmCom")->isVisible());
    EXPECT_EQ(port->Settings(), "1200,n,8,1");
    open();
    EXPECT_EQ(list(1)->currentText(), "9600");

    select(2, "5");
    dialog("frmCom")->close(); // the close box is Cancel
    open();
    EXPECT_EQ(list(2)->currentText(), "8");
    EXPECT_EQ(window->findChildren<QDialog*>("frmCom").size(), 1);
}

} // namespace
