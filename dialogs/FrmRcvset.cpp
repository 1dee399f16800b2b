#include "FrmRcvset.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "SharedSettings.h"
#include "WholeNumber.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quorvane
{

FrmRcvset::FrmRcvset(MainControls& main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("frmRcvset"));
    setWindowTitle(QStringLiteral("接收参数设置"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Wider than the documented 211: the reply choices stand in a column of
    // their own at the right, so every documented control keeps its place.
    SetUpDialogWindow(this, 311, 131);

    auto* frame1 = Place(new QGroupBox(this), QStringLiteral("Frame1"), 9, 6, 193, 85,
                         QStringLiteral("接收参数"));
    txtRcvtime = Place(new QLineEdit(frame1), QStringLiteral("txtRcvtime"), 117, 18, 52, 18,
                       QStringLiteral("接收超时时间"));
    MakeLabelBefore(frame1, QStringLiteral("Label1"), QStringLiteral("接收超时时间(ms):"), 12, 21,
                    txtRcvtime);
    txtRcvMax = Place(new QLineEdit(frame1), QStringLiteral("txtRcvMax"), 117, 51, 52, 18,
                      QStringLiteral("最大接收字符数"));
    MakeLabelBefore(frame1, QStringLiteral("Label2"), QStringLiteral("最大接收字符数:"), 24, 54,
                    txtRcvMax);
    QWidget::setTabOrder(txtRcvtime, txtRcvMax);
    OKButton =
        MakeButton(this, QStringLiteral("OKButton"), QStringLiteral("确 定"), 27, 99, 60, 25);
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取 消"), 117, 99, 60, 25);
    auto* frame2 = Place(new QGroupBox(QStringLiteral("应答"), this), QStringLiteral("Frame2"), 210,
                         6, 92, 85, QStringLiteral("应答"));
    chkCheckReply =
        Place(new QCheckBox(QStringLiteral("校验应答"), frame2), QStringLiteral("chkCheckReply"),
              10, 17, 78, 17, QStringLiteral("校验应答"));
    chkShowMillis =
        Place(new QCheckBox(QStringLiteral("显示毫秒"), frame2), QStringLiteral("chkShowMillis"),
              10, 39, 78, 17, QStringLiteral("显示毫秒"));
    // Timed sending counts a time-out and goes on, without a box.
    chkContinue = Place(new QCheckBox(QStringLiteral("超时后继续"), frame2),
                        QStringLiteral("chkContinue"), 10, 61, 80, 17, QStringLiteral("超时后继续"));
    connect(OKButton, &QPushButton::clicked, this, &FrmRcvset::OKButton_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &FrmRcvset::cmdcancel_Click);
    DisableWhileTimedSending(OKButton, main_);

    const SharedSettings& s = Shared();
    txtRcvtime->setText(QString::number(s.RcvTimeoutMs));
    txtRcvMax->setText(QString::number(s.RcvMaxChars));
    chkCheckReply->setChecked(s.CheckReply);
    chkShowMillis->setChecked(s.ShowMillis);
    chkContinue->setChecked(s.ContinueAfterTimeout);
}

void FrmRcvset::showAndRaise()
{
    ShowCentredOrRaise(this, true);
}

void FrmRcvset::OKButton_Click()
{
    if (main_.timedSendingRunning()) {
        return;
    }
    const auto timeout = ParseWholeNumber(txtRcvtime->text().toStdString(), 65535);
    if (!timeout) {
        MessageSeam::instance().show(MessageId::RcvTimeoutRange);
        txtRcvtime->setFocus();
        return;
    }
    const auto limit = ParseWholeNumber(txtRcvMax->text().toStdString(), 2147483647);
    if (!limit) {
        MessageSeam::instance().show(MessageId::RcvMaxRange);
        txtRcvMax->setFocus();
        return;
    }
    SharedSettings& s = Shared();
    s.RcvTimeoutMs = static_cast<std::int32_t>(*timeout);
    s.RcvMaxChars = static_cast<std::int32_t>(*limit);
    s.CheckReply = chkCheckReply->isChecked();
    s.ShowMillis = chkShowMillis->isChecked();
    s.ContinueAfterTimeout = chkContinue->isChecked();
    main_.setTimeRcvInterval(s.RcvTimeoutMs);
    close();
}

void FrmRcvset::cmdcancel_Click()
{
    close();
}

} // namespace quorvane
