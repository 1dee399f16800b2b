#include "FrmRs485.h"

#include "Controls.h"
#include "DialogWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace quorvane
{

namespace
{

QSpinBox* MakeDelayBox(QWidget* parent, const QString& name, int y, const QString& accessible)
{
    auto* box = Place(new QSpinBox(parent), name, 130, y, 80, 20, accessible);
    box->setRange(0, kRs485MaxDelayMs);
    box->setSuffix(QStringLiteral(" ms"));
    return box;
}

} // namespace

FrmRs485::FrmRs485(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmRs485"));
    setWindowTitle(QStringLiteral("RS-485 收发控制"));
    SetUpDialogWindow(this, 226, 150);
    setWindowModality(Qt::WindowModal); // the port dialog waits for the choice

    chkRs485 = Place(new QCheckBox(QStringLiteral("RS-485 收发控制"), this),
                     QStringLiteral("chkRs485"), 14, 12, 196, 20,
                     QStringLiteral("RS-485 收发控制"));
    cmbRts = Place(new QComboBox(this), QStringLiteral("cmbRts"), 130, 40, 80, 20,
                   QStringLiteral("发送时 RTS"));
    cmbRts->addItems({QStringLiteral("高电平"), QStringLiteral("低电平")});
    MakeLabelBefore(this, QStringLiteral("Label1"), QStringLiteral("发送时 RTS:"), 14, 43, cmbRts);
    txtBefore = MakeDelayBox(this, QStringLiteral("txtBefore"), 66, QStringLiteral("发送前延时"));
    MakeLabelBefore(this, QStringLiteral("Label2"), QStringLiteral("发送前延时:"), 14, 69, txtBefore);
    txtAfter = MakeDelayBox(this, QStringLiteral("txtAfter"), 92, QStringLiteral("发送后延时"));
    MakeLabelBefore(this, QStringLiteral("Label3"), QStringLiteral("发送后延时:"), 14, 95, txtAfter);
    cmdok = MakeButton(this, QStringLiteral("cmdok"), QStringLiteral("确定"), 30, 120, 64, 22);
    cmdok->setDefault(true);
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取消"), 132, 120, 64, 22);
    connect(chkRs485, &QCheckBox::toggled, this, &FrmRs485::EnableDetails);
    connect(cmdok, &QPushButton::clicked, this, &FrmRs485::cmdok_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &QDialog::reject);
    EnableDetails();
}

void FrmRs485::askOver(const QWidget* owner, const Rs485Settings& settings)
{
    chkRs485->setChecked(settings.enabled);
    cmbRts->setCurrentIndex(settings.rtsHighWhileSending ? 0 : 1);
    txtBefore->setValue(settings.delayBeforeMs);
    txtAfter->setValue(settings.delayAfterMs);
    ShowCentredOver(this, owner);
    chkRs485->setFocus();
}

void FrmRs485::EnableDetails()
{
    for (QWidget* detail : {static_cast<QWidget*>(cmbRts), static_cast<QWidget*>(txtBefore),
                            static_cast<QWidget*>(txtAfter)}) {
        detail->setEnabled(chkRs485->isChecked());
    }
}

Rs485Settings FrmRs485::Chosen() const
{
    return {chkRs485->isChecked(), cmbRts->currentIndex() == 0, txtBefore->value(),
            txtAfter->value()};
}

void FrmRs485::cmdok_Click()
{
    emit settingsChosen(Chosen());
    accept();
}

} // namespace quorvane
