#include "FrmCom.h"
#include "DialogFixture.h"
#include "FakeSystemTree.h"
#include "PortPath.h"

#include <QAction>
#include <QCheckBox>
#include <QSpinBox>

using namespace quorvane;

namespace
{

// Remembers the flow control it was given.
class HandshakingPort : public FakeSerialPort
{
public:
    void setHandshaking(Handshaking handshaking) override { handshaking_ = handshaking; }
    Handshaking handshaking() const override { return handshaking_; }
    void setRs485(const Rs485Settings& settings) override { rs485_ = settings; }
    Rs485Settings rs485() const override { return rs485_; }

private:
    Handshaking handshaking_ = Handshaking::None;
    Rs485Settings rs485_;
};

class PortDialog : public DialogTest
{
protected:
    std::unique_ptr<FakeSerialPort> makePort() override
    {
        return std::make_unique<HandshakingPort>();
    }
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
    const char* expected[] = {"COM2", "9600", "8", "无", "1", "无"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(list(i)->currentText(), QString::fromUtf8(expected[i]));
        EXPECT_FALSE(list(i)->isEditable());
    }
    QStringList rates;
    for (int i = 0; i < list(1)->count(); ++i) {
        rates << list(1)->itemText(i);
    }
    EXPECT_EQ(rates.join(u' '), "921600 460800 230400 115200 57600 38400 19200 9600 4800 2400 "
                                "1200 600 300 自定义...");
    EXPECT_EQ(list(5)->itemText(2), "XON/XOFF");
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

TEST_F(PortDialog, ACustomRateIsAskedForAndKeptLikeAnyOther)
{
    open();
    const auto ask = [&](const char* typed, Qt::Key key = Qt::Key_Return) {
        select(1, "自定义...");
        auto* box = in<QLineEdit>("frmCom", "txtBaud");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->window()->windowTitle(), "自定义波特率");
        box->setText(QString::fromLatin1(typed));
        QTest::keyClick(box, key);
    };
    ask("4000001");
    ASSERT_EQ(recorder.texts(), std::vector<std::string>{"波特率应为50-4000000之间的整数"});
    EXPECT_EQ(recorder.messages()[0].icon, MessageIcon::Warning);
    auto* box = in<QLineEdit>("frmCom", "txtBaud");
    ASSERT_TRUE(box && box->isVisible()) << "a refused rate keeps the box open";
    box->setText(" 250000 ");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(list(1)->currentText(), "250000");
    EXPECT_EQ(list(1)->itemText(13), "250000") << "just above 自定义...";
    clickIn("frmCom", "cmdok");
    EXPECT_EQ(port->Settings(), "250000,n,8,1");

    open();
    ask("300000"); // replaces the first custom rate
    EXPECT_EQ(list(1)->count(), 15);
    EXPECT_EQ(list(1)->itemText(13), "300000");
    clickIn("frmCom", "cmdcancel");
    open();
    EXPECT_EQ(list(1)->currentText(), "250000") << "取消 brings back the confirmed rate";
    ask("1200", Qt::Key_Escape);
    EXPECT_EQ(list(1)->currentText(), "250000") << "a cancelled box restores the selection";
}

// "RS-485..." asks in a box of its own; the port dialog's OK applies what it
// chose, its Cancel forgets it.
TEST_F(PortDialog, Rs485IsChosenInItsBoxAndAppliedWithOk)
{
    // The box belongs to the port dialog.
    const auto boxPart = [&]<typename T>(T*, const char* name) {
        return window->findChild<QWidget*>("frmRs485")->findChild<T*>(QString::fromLatin1(name));
    };
    const auto check = [&](const char* n) { return boxPart(static_cast<QCheckBox*>(nullptr), n); };
    const auto spin = [&](const char* n) { return boxPart(static_cast<QSpinBox*>(nullptr), n); };
    const auto ok = [&] {
        QTest::mouseClick(boxPart(static_cast<QPushButton*>(nullptr), "cmdok"), Qt::LeftButton);
    };
    open();
    clickIn("frmCom", "cmdRs485");
    auto* box = check("chkRs485");
    EXPECT_EQ(box->text(), "RS-485 收发控制");
    EXPECT_FALSE(spin("txtBefore")->isEnabled());
    box->setChecked(true);
    boxPart(static_cast<QComboBox*>(nullptr), "cmbRts")->setCurrentIndex(1);
    auto* before = spin("txtBefore");
    before->setValue(5000);
    EXPECT_EQ(before->value(), 1000) << "0–1000 ms";
    ok();
    clickIn("frmCom", "cmdcancel");
    EXPECT_EQ(port->rs485(), Rs485Settings{});

    open();
    clickIn("frmCom", "cmdRs485");
    check("chkRs485")->setChecked(true);
    spin("txtAfter")->setValue(2);
    ok();
    clickIn("frmCom", "cmdok");
    EXPECT_EQ(port->rs485(), (Rs485Settings{true, true, 0, 2}));
}

TEST_F(PortDialog, FlowControlGoesToThePortAndSetupsConfirmLikeOk)
{
    open();
    select(5, "RTS/CTS");
    clickIn("frmCom", "cmdok");
    EXPECT_EQ(port->handshaking(), SerialPort::Handshaking::RtsCts);
    EXPECT_EQ(port->Settings(), "9600,n,8,1");

    auto* d = window->findChild<FrmCom*>("frmCom");
    using Texts = std::array<QString, 6>;
    const std::pair<Texts, int> bad[] = {{{"COM17", "9600", "8", "无", "1", "无"}, 0},
                                         {{"COM1", "49", "8", "无", "1", "无"}, 1},
                                         {{"COM1", "9600", "9", "无", "1", "无"}, 2},
                                         {{"COM1", "9600", "8", "无", "1", "DTR"}, 5}};
    for (const auto& [texts, index] : bad) {
        EXPECT_EQ(d->ConfirmSelections(texts), index);
    }
    EXPECT_EQ(port->CommPort(), 2) << "a refused setup changes nothing";
    EXPECT_EQ(d->ConfirmSelections({"COM3", "250000", "7", "偶校验", "2", "XON/XOFF"}), -1);
    EXPECT_EQ(port->CommPort(), 3);
    EXPECT_EQ(port->Settings(), "250000,e,7,2");
    EXPECT_EQ(port->handshaking(), SerialPort::Handshaking::XonXoff);
    open();
    EXPECT_EQ(list(1)->currentText(), "250000");
}

} // namespace
