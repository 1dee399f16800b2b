#include "FrmCom.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "FrmCustomBaud.h"
#include "FrmRs485.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "NetworkAddress.h"
#include "PortPath.h"
#include "PortTexts.h"

#include <QAction>
#include <QCloseEvent>
#include <QInputDialog>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

namespace quorvane
{

namespace
{

constexpr int kPortList = 0;
constexpr int kBaudList = 1;
constexpr int kParityList = 3;
constexpr int kFlowList = 5;
constexpr int kAlwaysShownPorts = 4; // COM1 to COM4, whatever the map holds

struct LineList {
    const char* label;
    QStringList items;
    QString accessible;
};

QString CustomEntry()
{
    return QStringLiteral("自定义...");
}

const std::array<LineList, FrmCom::kListCount>& Lists()
{
    static const std::array<LineList, FrmCom::kListCount> lists = {{
        {"通信端口:", {}, QStringLiteral("通信端口")}, // one item per COMn, see ShowPortItems
        {"波特率:",
         {"921600", "460800", "230400", "115200", "57600", "38400", "19200", "9600", "4800", "2400",
          "1200", "600", "300", CustomEntry()},
         QStringLiteral("波特率")},
        {"数据位:", {"4", "5", "6", "7", "8"}, QStringLiteral("数据位")},
        {"奇偶校验:",
         {QStringLiteral("无"), QStringLiteral("奇校验"), QStringLiteral("偶校验")},
         QStringLiteral("奇偶校验")},
        {"停止位:", {"1", "1.5", "2"}, QStringLiteral("停止位")},
        {"流控制:",
         {QStringLiteral("无"), QStringLiteral("RTS/CTS"), QStringLiteral("XON/XOFF")},
         QStringLiteral("流控制")},
    }};
    return lists;
}

const std::array<const char*, FrmCom::kListCount> kDefaults = {"COM2", "9600", "8",
                                                               "无",   "1",    "无"};

// n for a text "COMn", else 0.
constexpr int kHighestPort = 16;

int PortNumberOf(const QString& text)
{
    return text.startsWith(QLatin1String("COM")) ? text.mid(3).toInt() : 0;
}

} // namespace

FrmCom::FrmCom(MainControls& main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("frmCom"));
    setWindowTitle(QStringLiteral("通信参数设置"));
    SetUpDialogWindow(this, 232, 242);

    BuildLists();
    // The buttons stand under the sixth list; "RS-485..." beside "默认".
    cmdRs485 =
        MakeButton(this, QStringLiteral("cmdRs485"), QStringLiteral("RS-485..."), 30, 182, 78, 22);
    Command1 =
        MakeButton(this, QStringLiteral("Command1"), QStringLiteral("默认"), 144, 182, 64, 22);
    cmdok = MakeButton(this, QStringLiteral("cmdok"), QStringLiteral("确定"), 30, 212, 64, 22);
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取消"), 138, 212, 64, 22);
    connect(Command1, &QPushButton::clicked, this, &FrmCom::SetPortDefaults);
    connect(cmdRs485, &QPushButton::clicked, this, &FrmCom::cmdRs485_Click);
    connect(cmdok, &QPushButton::clicked, this, &FrmCom::cmdok_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &FrmCom::cmdcancel_Click);
    connect(Combo1[kBaudList], &QComboBox::currentIndexChanged, this, &FrmCom::BaudChosen);
    // A port served over the network stands in for a COMn: from the port
    // list's context menu (the menu key, or a right click).
    auto* typeNetwork = new QAction(QStringLiteral("网络端口(&N)..."), Combo1[kPortList]);
    typeNetwork->setObjectName(QStringLiteral("actNetworkPort"));
    Combo1[kPortList]->addAction(typeNetwork);
    Combo1[kPortList]->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(typeNetwork, &QAction::triggered, this, &FrmCom::TypeNetworkPort);

    ShowPortItems();
    SetPortDefaults();
}

void FrmCom::BuildLists()
{
    for (int i = 0; i < kListCount; ++i) {
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
}

void FrmCom::showAndRaise()
{
    // What is plugged in when the dialog opens decides the ports until it
    // opens again; asking for it while it is open only raises it.
    if (!isVisible()) {
        RefreshPortMap();
    }
    ShowPortItems();
    ShowCentredOrRaise(this, !shownBefore_);
    shownBefore_ = true;
}

// COM1 to COM4 always, then one item for each further port the held map
// has. Each item tells which device it stands for on this machine, how that
// was chosen and whether the device is there. A port selected or confirmed
// earlier stays listed even when the map has shrunk since, so a selection is
// never lost.
void FrmCom::ShowPortItems()
{
    const PortMap& ports = HeldPortMap();
    QComboBox* list = Combo1[kPortList];
    const int count =
        std::max({kAlwaysShownPorts, static_cast<int>(ports.size()),
                  PortNumberOf(SavedPortTexts[kPortList]), PortNumberOf(list->currentText())});
    const QSignalBlocker quiet(list);
    while (list->count() > count) {
        list->removeItem(list->count() - 1);
    }
    while (list->count() < count) {
        list->addItem(QStringLiteral("COM%1").arg(list->count() + 1));
    }
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const QString tooltip =
            at < ports.size() ? QString::fromStdString(PortTooltip(ports[at])) : QString();
        list->setItemData(i, tooltip, Qt::ToolTipRole);
    }
}

void FrmCom::TypeNetworkPort()
{
    const int number = Combo1[kPortList]->currentIndex() + 1;
    bool given = false;
    const QString typed =
        QInputDialog::getText(this, QStringLiteral("网络端口"),
                              QStringLiteral("COM%1 的网络端口 (rfc2217://主机:端口 或 socket://主机:端口)，"
                                             "留空恢复本机设备:")
                                  .arg(number),
                              QLineEdit::Normal, QString::fromStdString(TypedPort(number)), &given)
            .trimmed();
    if (!given) {
        return;
    }
    if (!typed.isEmpty() && !ParseNetworkAddress(typed.toStdString())) {
        MessageSeam::instance().show(MessageFor(MessageId::NetworkAddressInvalid));
        return;
    }
    SetTypedPort(number, typed.toStdString());
    RefreshPortMap();
    ShowPortItems();
}

void FrmCom::SelectText(int list, const QString& text)
{
    if (list == kBaudList) {
        SelectBaud(text);
        return;
    }
    const int index = Combo1[list]->findText(text);
    if (index >= 0) {
        Combo1[list]->setCurrentIndex(index);
    }
}

int FrmCom::CustomEntryIndex() const
{
    return Combo1[kBaudList]->count() - 1;
}

// Selects a rate in the baud list; a rate the list does not hold becomes its
// one custom item, just above "自定义...". False when the text is no rate.
bool FrmCom::SelectBaud(const QString& text)
{
    QComboBox* list = Combo1[kBaudList];
    int index = list->findText(text);
    if (index < 0 || index == CustomEntryIndex()) {
        const auto rate = FrmCustomBaud::ReadRate(text);
        if (!rate) {
            return false;
        }
        const QString shown = QString::number(*rate);
        index = list->findText(shown);
        if (index < 0) {
            index = PlaceCustomRate(shown);
        }
    }
    list->setCurrentIndex(index);
    lastBaudText_ = list->itemText(index);
    return true;
}

// One typed rate at most: a second one replaces the first.
int FrmCom::PlaceCustomRate(const QString& rate)
{
    QComboBox* list = Combo1[kBaudList];
    const QSignalBlocker quiet(list);
    if (hasCustomRate_) {
        list->setItemText(CustomEntryIndex() - 1, rate);
    } else {
        list->insertItem(CustomEntryIndex(), rate);
        hasCustomRate_ = true;
    }
    return CustomEntryIndex() - 1;
}

void FrmCom::BaudChosen(int index)
{
    if (index < 0) {
        return;
    }
    if (index != CustomEntryIndex()) {
        lastBaudText_ = Combo1[kBaudList]->itemText(index);
        return;
    }
    AskCustomRate();
}

// "自定义..." asks for the rate in a box of its own; cancelling it puts the
// list back to the rate selected before.
void FrmCom::AskCustomRate()
{
    if (!customBaud_) {
        customBaud_ = new FrmCustomBaud(this);
        connect(customBaud_, &FrmCustomBaud::rateChosen, this,
                [this](const QString& rate) { SelectBaud(rate); });
        connect(customBaud_, &QDialog::rejected, this, [this] { SelectBaud(lastBaudText_); });
    }
    if (customBaud_->isVisible()) {
        customBaud_->raise();
        return;
    }
    customBaud_->askOver(this);
}

// Confirming or cancelling the port dialog first cancels an unanswered
// rate box, so "自定义..." itself is never kept as a selection; an open
// RS-485 box is cancelled too.
void FrmCom::DropCustomRateBox()
{
    if (customBaud_ && customBaud_->isVisible()) {
        customBaud_->reject();
    }
    if (rs485Box_ && rs485Box_->isVisible()) {
        rs485Box_->reject();
    }
}

void FrmCom::cmdRs485_Click()
{
    if (!rs485Box_) {
        rs485Box_ = new FrmRs485(this);
        connect(rs485Box_, &FrmRs485::settingsChosen, this,
                [this](const Rs485Settings& settings) { rs485_ = settings; });
    }
    if (rs485Box_->isVisible()) {
        rs485Box_->raise();
        return;
    }
    rs485Box_->askOver(this, rs485_);
}

void FrmCom::SetPortDefaults()
{
    for (int i = 0; i < kListCount; ++i) {
        SelectText(i, QString::fromUtf8(kDefaults[i]));
        SavedPortTexts[i] = Combo1[i]->currentText();
    }
    rs485_ = savedRs485_ = {};
}

QString FrmCom::SettingsText() const
{
    static const char parity[] = {'n', 'o', 'e'};
    const int p = Combo1[kParityList]->currentIndex();
    return Combo1[kBaudList]->currentText() + u',' + QChar::fromLatin1(parity[p < 0 ? 0 : p]) +
           u',' + Combo1[2]->currentText() + u',' + Combo1[4]->currentText();
}

SerialPort::Handshaking FrmCom::ChosenHandshaking() const
{
    static const SerialPort::Handshaking kinds[] = {SerialPort::Handshaking::None,
                                                    SerialPort::Handshaking::RtsCts,
                                                    SerialPort::Handshaking::XonXoff};
    const int index = Combo1[kFlowList]->currentIndex();
    return index > 0 && index < 3 ? kinds[index] : kinds[0];
}

void FrmCom::cmdok_Click()
{
    DropCustomRateBox();
    for (int i = 0; i < kListCount; ++i) {
        SavedPortTexts[i] = Combo1[i]->currentText();
    }
    savedRs485_ = rs485_;
    const QString settings = SettingsText();
    SerialPort& port = main_.port();
    if (port.PortOpen()) {
        port.setPortOpen(false);
        main_.setPortStatus(QStringLiteral("串口状态：关闭"));
    }
    port.setCommPort(Combo1[kPortList]->currentIndex() + 1);
    port.setSettings(settings.toStdString());
    port.setHandshaking(ChosenHandshaking());
    port.setRs485(savedRs485_);
    hide();
    main_.portSettingsApplied();
}

void FrmCom::cmdcancel_Click()
{
    DropCustomRateBox();
    for (int i = 0; i < kListCount; ++i) {
        SelectText(i, SavedPortTexts[i]);
    }
    rs485_ = savedRs485_;
    hide();
}

int FrmCom::FirstInvalidSelection(const std::array<QString, kListCount>& texts) const
{
    for (int i = 0; i < kListCount; ++i) {
        // A setup written on another machine may name a COMn this one does
        // not list: it is taken (and opening it tells whether it is there).
        const int port = PortNumberOf(texts[i]);
        const bool taken = i == kBaudList    ? FrmCustomBaud::ReadRate(texts[i]).has_value()
                           : i == kPortList ? (port >= 1 && port <= kHighestPort &&
                                               texts[i] == QStringLiteral("COM%1").arg(port))
                                            : Combo1[i]->findText(texts[i]) >= 0;
        if (!taken) {
            return i;
        }
    }
    return -1;
}

int FrmCom::ConfirmSelections(const std::array<QString, kListCount>& texts)
{
    return ConfirmSelections(texts, savedRs485_);
}

int FrmCom::ConfirmSelections(const std::array<QString, kListCount>& texts,
                              const Rs485Settings& rs485)
{
    ShowPortItems(); // the ports the held map has now
    const int bad = FirstInvalidSelection(texts);
    if (bad >= 0) {
        return bad;
    }
    DropCustomRateBox();
    QComboBox* ports = Combo1[kPortList];
    while (ports->count() < PortNumberOf(texts[kPortList])) {
        ports->addItem(QStringLiteral("COM%1").arg(ports->count() + 1));
    }
    for (int i = 0; i < kListCount; ++i) {
        SelectText(i, texts[i]);
    }
    rs485_ = rs485;
    cmdok_Click();
    return -1;
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
