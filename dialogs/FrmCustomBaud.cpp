#include "FrmCustomBaud.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MessageSeam.h"
#include "WholeNumber.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quorvane
{

FrmCustomBaud::FrmCustomBaud(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCustomBaud"));
    setWindowTitle(QStringLiteral("自定义波特率"));
    SetUpDialogWindow(this, 196, 80);
    setWindowModality(Qt::WindowModal); // the port dialog waits for the rate

    txtBaud = Place(new QLineEdit(this), QStringLiteral("txtBaud"), 64, 14, 118, 20,
                    QStringLiteral("自定义波特率"));
    txtBaud->setMaxLength(16);
    MakeLabelBefore(this, QStringLiteral("Label1"), QStringLiteral("波特率:"), 14, 17, txtBaud);
    cmdok = MakeButton(this, QStringLiteral("cmdok"), QStringLiteral("确定"), 24, 48, 64, 22);
    cmdok->setDefault(true); // Enter confirms the typed rate
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取消"), 108, 48, 64, 22);
    connect(cmdok, &QPushButton::clicked, this, &FrmCustomBaud::cmdok_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmCustomBaud::askOver(const QWidget* owner)
{
    txtBaud->clear();
    ShowCentredOver(this, owner);
    txtBaud->setFocus();
}

std::optional<unsigned> FrmCustomBaud::ReadRate(const QString& text)
{
    const auto rate = ParseWholeNumber(text.toStdString(), kHighestRate);
    if (!rate || *rate < kLowestRate) {
        return std::nullopt;
    }
    return static_cast<unsigned>(*rate);
}

void FrmCustomBaud::cmdok_Click()
{
    const auto rate = ReadRate(txtBaud->text());
    if (!rate) {
        MessageSeam::instance().show(MessageId::BaudRateRange);
        txtBaud->setFocus();
        txtBaud->selectAll();
        return; // the box stays open for a better rate
    }
    emit rateChosen(QString::number(*rate));
    accept();
}

} // namespace quorvane
