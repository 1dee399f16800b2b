#include "FrmSendset.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "SharedSettings.h"
#include "WholeNumber.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace quorvane
{

namespace
{

constexpr int kChoiceCount = 3; // items of each of the two lists

// A stored list choice, or the documented default when it is none.
int ListIndexOf(int value)
{
    return value >= 0 && value < kChoiceCount ? value : 0;
}

} // namespace

FrmSendset::FrmSendset(MainControls& main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("frmSendset"));
    setWindowTitle(QStringLiteral("发送形式"));
    // Wider than the documented 258: the text lists stand in a column of
    // their own at the right.
    SetUpDialogWindow(this, 406, 197);

    auto* frame1 = Place(new QGroupBox(this), QStringLiteral("Frame1"), 0, -2, 257, 163,
                         QStringLiteral("发送设置"));
    auto* frame2 = Place(new QGroupBox(QStringLiteral("发送方式"), frame1),
                         QStringLiteral("Frame2"), 13, 16, 233, 57, QStringLiteral("发送方式"));
    Optsend[0] =
        MakeOption(frame2, QStringLiteral("Optsend_0"), QStringLiteral("单次发送"), 8, 16, 73);
    Optsend[1] =
        MakeOption(frame2, QStringLiteral("Optsend_1"), QStringLiteral("定时发送"), 8, 34, 73);
    txtTimer = Place(new QLineEdit(QStringLiteral("100"), frame2), QStringLiteral("txtTimer"), 166,
                     32, 57, 19, QStringLiteral("定时间隔"));
    MakeLabelBefore(frame2, QStringLiteral("Label1"), QStringLiteral("定时间隔(ms):"), 88, 36,
                    txtTimer);
    txtTimer->setEnabled(false);

    auto* frame3 = Place(new QGroupBox(QStringLiteral("输入数据格式"), frame1),
                         QStringLiteral("Frame3"), 13, 80, 233, 73, QStringLiteral("输入数据格式"));
    const QString formats[] = {QStringLiteral("字符串"), QStringLiteral("十进制字节串(空格隔开)"),
                               QStringLiteral("十六进制字节串(空格隔开)")};
    for (int i = 0; i < 3; ++i) {
        Optformat[i] =
            MakeOption(frame3, QStringLiteral("Optformat_%1").arg(i), formats[i], 8, 16 + 16 * i);
    }
    Optsend[0]->setChecked(true);
    Optformat[1]->setChecked(true);

    cmdOK = MakeButton(this, QStringLiteral("cmdOK"), QStringLiteral("确定"), 87, 168, 64, 22);
    cmdOK->setDefault(true); // answers the Enter key
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取消"), 176, 168, 64, 22);

    buildTextLists();

    for (int i = 0; i < 2; ++i) {
        connect(Optsend[i], &QRadioButton::clicked, this, [this, i] { Optsend_Click(i); });
    }
    for (int i = 0; i < 3; ++i) {
        connect(Optformat[i], &QRadioButton::clicked, this, [this, i] { Optformat_Click(i); });
    }
    connect(cmdOK, &QPushButton::clicked, this, &FrmSendset::cmdOK_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &FrmSendset::cmdcancel_Click);

    DisableWhileTimedSending(cmdOK, main_);
}

// How string text becomes bytes and which bytes a typed line break gives.
void FrmSendset::buildTextLists()
{
    // A column of its own at the right, so every documented control keeps
    // its place.
    auto* frame4 = Place(new QGroupBox(QStringLiteral("字符串文本"), this), QStringLiteral("Frame4"),
                         264, 6, 134, 155, QStringLiteral("字符串文本"));
    MakeLabelAt(frame4, QStringLiteral("Label2"), QStringLiteral("字符编码:"), 10, 26);
    cmbEncoding = Place(new QComboBox(frame4), QStringLiteral("cmbEncoding"), 10, 46, 112, 20,
                        QStringLiteral("字符编码"));
    cmbEncoding->addItems(
        {QStringLiteral("单字节"), QStringLiteral("GBK"), QStringLiteral("UTF-8")});
    MakeLabelAt(frame4, QStringLiteral("Label3"), QStringLiteral("换行符:"), 10, 86);
    cmbLineBreak = Place(new QComboBox(frame4), QStringLiteral("cmbLineBreak"), 10, 106, 112, 20,
                         QStringLiteral("换行符"));
    cmbLineBreak->addItems({QStringLiteral("CR LF"), QStringLiteral("LF"), QStringLiteral("CR")});
    ShowCommittedTextChoices();
}

void FrmSendset::ShowCommittedTextChoices()
{
    const SharedSettings& settings = Shared();
    cmbEncoding->setCurrentIndex(ListIndexOf(settings.TextEncoding));
    cmbLineBreak->setCurrentIndex(ListIndexOf(settings.LineBreak));
}

void FrmSendset::showAndRaise()
{
    // Centred at the first showing; later showings keep where the user left it.
    ShowCentredOrRaise(this, !shownBefore_);
    shownBefore_ = true;
}

void FrmSendset::Optsend_Click(int index)
{
    Optsend[index]->setChecked(true);
    txtTimer->setEnabled(index == 1);
    pendingSend_ = index;
}

void FrmSendset::Optformat_Click(int index)
{
    Optformat[index]->setChecked(true);
    pendingFormat_ = index;
}

void FrmSendset::cmdOK_Click()
{
    if (main_.timedSendingRunning()) {
        return;
    }
    const auto interval = ParseWholeNumber(txtTimer->text().toStdString(), 65535);
    if (!interval && pendingSend_ == 1) {
        MessageSeam::instance().show(MessageId::TimerIntervalRange);
        txtTimer->setFocus();
        return;
    }
    if (interval) {
        savedInterval_ = txtTimer->text();
    } else {
        // Single sending with a box left invalid: the last good interval stays.
        txtTimer->setText(savedInterval_);
    }
    SharedSettings& settings = Shared();
    settings.opt1 = pendingSend_;
    settings.opt2 = pendingFormat_;
    settings.TextEncoding = cmbEncoding->currentIndex();
    settings.LineBreak = cmbLineBreak->currentIndex();
    if (settings.opt1 == 1) {
        main_.setTimer1Interval(static_cast<int>(*interval));
        main_.setSendCaption(QStringLiteral("开始发送"));
    } else {
        main_.stopTimer1();
        main_.setSendCaption(QStringLiteral("发送"));
    }
    main_.setSendsetLabel(u'(' + Optsend[settings.opt1]->text() + Optformat[settings.opt2]->text() +
                          u')');
    settings.FrameDirty = true;
    hide();
    main_.sendChoicesApplied();
}

void FrmSendset::cmdcancel_Click()
{
    const SharedSettings& settings = Shared();
    Optsend_Click(settings.opt1);
    Optformat_Click(settings.opt2);
    txtTimer->setText(savedInterval_);
    ShowCommittedTextChoices();
    hide();
}

int FrmSendset::FirstInvalidChoice(const SendsetChoices& choices) const
{
    const bool taken[] = {
        choices.mode == 0 || choices.mode == 1,
        choices.format >= 0 && choices.format < 3,
        ParseWholeNumber(choices.interval.toStdString(), 65535).has_value(),
        choices.encoding >= 0 && choices.encoding < kChoiceCount,
        choices.lineBreak >= 0 && choices.lineBreak < kChoiceCount,
    };
    for (int i = 0; i < 5; ++i) {
        if (!taken[i]) {
            return i;
        }
    }
    return kCommitted;
}

SendsetChoices FrmSendset::CommittedChoices() const
{
    const SharedSettings& settings = Shared();
    return {settings.opt1, settings.opt2, savedInterval_, settings.TextEncoding,
            settings.LineBreak};
}

int FrmSendset::ConfirmChoices(const SendsetChoices& choices)
{
    if (main_.timedSendingRunning()) {
        return kRefusedWhileSending;
    }
    const int bad = FirstInvalidChoice(choices);
    if (bad != kCommitted) {
        return bad;
    }
    Optsend_Click(choices.mode);
    Optformat_Click(choices.format);
    txtTimer->setText(choices.interval);
    cmbEncoding->setCurrentIndex(choices.encoding);
    cmbLineBreak->setCurrentIndex(choices.lineBreak);
    cmdOK_Click();
    return kCommitted;
}

void FrmSendset::reject()
{
    cmdcancel_Click();
}

void FrmSendset::closeEvent(QCloseEvent* event)
{
    // The close box acts as Cancel; the dialog is only ever hidden.
    event->ignore();
    cmdcancel_Click();
}

} // namespace quorvane
