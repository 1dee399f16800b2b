#include "FrmCom.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MainControls.h"
#include "PortPath.h"
#include "PortTexts.h"
#include "SerialPort.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace quorvane
{

namespace
{

struct LineList {
    const char* label;
    QStringList items;
    QString accessible;
};

const std::array<LineList, 5>& Lists()
{
    static const std::array<LineList, 5> lists = {{
        {"通信端口:", {"COM1", "COM2", "COM3", "COM4"}, QStringLiteral("通信端口")},
        {"波特率:", {"38400", "19200", "9600", "4800", "2400", "1200"}, QStringLiteral("波特率")},
        {"数据位:", {"4", "5", "6", "7", "8"}, QStringLiteral("数据位")},
        {"奇偶校验:",
         {QStringLiteral("无"), QStringLiteral("奇校验"), QStringLiteral("偶校验")},
         QStringLiteral("奇偶校验")},
        {"停止位:", {"1", "1.5", "2"}, QStringLiteral("停止位")},
    }};
    return lists;
}

const std::array<const char*, 5> kDefaults = {"COM2", "9600", "8", "无", "1"};

} // namespace

FrmCom::FrmCom(MainControls& main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("frmCom"));
    setWindowTitle(QStringLiteral("通信参数设置"));
    SetUpDialogWindow(this, 232, 214);

    for (int i = 0; i < 5; ++i) {
        const LineList& entry = Lists()[i];
        auto* label = new QLabel(QString::fromUtf8(entry.label), this);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setGeometry(20, 16 + 28 * i, 70, 20);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* list = new QComboBox(this);
        list->setObjectName(QStringLiteral("Combo1_%1").arg(i));
        list->setAccessibleName(entry.accessible);
        list->addItems(entry.items);
        list->setGeometry(98, 16 + 28 * i, 110, 20);
        label->setBuddy(list);
        Combo1[i] = list;
    }
    Command1 =
        MakeButton(this, QStringLiteral("Command1"), QStringLiteral("默认"), 144, 154, 64, 22);
    cmdok = MakeButton(this, QStringLiteral("cmdok"), QStringLiteral("确定"), 30, 184, 64, 22);
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取消"), 138, 184, 64, 22);
    connect(Command1, &QPushButton::clicked, this, &FrmCom::SetPortDefaults);
    connect(cmdok, &QPushButton::clicked, this, &FrmCom::cmdok_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &FrmCom::cmdcancel_Click);

    SetPortDefaults();
}

void FrmCom::showAndRaise()
{
    // What is plugged in when the dialog opens decides the ports until it
    // opens again; asking for it while it is open only raises it.
    if (!isVisible()) {
        RefreshPortMap();
    }
    ShowPortDevices();
    ShowCentredOrRaise(this, !shownBefore_);
    shownBefore_ = true;
}

// Each port item tells which device it stands for on this machine, how that
// was chosen and whether the device is there.
void FrmCom::ShowPortDevices()
{
    const PortMap& ports = HeldPortMap();
    for (int n = 1; n <= 4; ++n) {
        Combo1[0]->setItemData(n - 1, QString::fromStdString(PortTooltip(ports[n - 1])),
                               Qt::ToolTipRole);
    }
}

void FrmCom::SelectText(int list, const QString& text)
{
    const int index = Combo1[list]->findText(text);
    if (index >= 0) {
        Combo1[list]->setCurrentIndex(index);
    }
}

void FrmCom::SetPortDefaults()
{
    for (int i = 0; i < 5; ++i) {
        SelectText(i, QString::fromUtf8(kDefaults[i]));
        SavedPortTexts[i] = Combo1[i]->currentText();
    }
}

QString FrmCom::SettingsText() const
{
    static const char parity[] = {'n', 'o', 'e'};
    const int p = Combo1[3]->currentIndex();
    return Combo1[1]->currentText() + u',' + QChar::fromLatin1(parity[p < 0 ? 0 : p]) + u',' +
           Combo1[2]->currentText() + u',' + Combo1[4]->currentText();
}

void FrmCom::cmdok_Click()
{
    for (int i = 0; i < 5; ++i) {
        SavedPortTexts[i] = Combo1[i]->currentText();
    }
    const QString settings = SettingsText();
    SerialPort& port = main_.port();
    if (port.PortOpen()) {
        port.setPortOpen(false);
        main_.setPortStatus(QStringLiteral("串口状态：关闭"));
    }
    port.setCommPort(Combo1[0]->currentIndex() + 1);
    port.setSettings(settings.toStdString());
    hide();
}

void FrmCom::cmdcancel_Click()
{
    for (int i = 0; i < 5; ++i) {
        SelectText(i, SavedPortTexts[i]);
    }
    hide();
}

void FrmCom::reject()
{
    cmdcancel_Click();
}

void FrmCom::closeEvent(QCloseEvent* event)
{
    // The close box acts as Cancel; the dialog is only ever hidden.
    event->ignore();
    cmdcancel_Click();
}

} // namespace quorvane
