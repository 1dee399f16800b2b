#include "FrmProtocol.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MessageSeam.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

namespace quorvane
{

FrmProtocol::FrmProtocol(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProtocol"));
    setWindowTitle(QStringLiteral("协议"));
    SetUpDialogWindow(this, 262, 178);

    cmbProtocol = Place(new QComboBox(this), QStringLiteral("cmbProtocol"), 100, 12, 146, 20,
                        QStringLiteral("协议"));
    for (int kind = 0; kind < ProtocolCount; ++kind) {
        cmbProtocol->addItem(QString::fromUtf8(ProtocolName(kind).data(),
                                               static_cast<qsizetype>(ProtocolName(kind).size())));
    }
    MakeLabelBefore(this, QStringLiteral("Label1"), QStringLiteral("协议:"), 14, 15, cmbProtocol);
    txtSlave = Place(new QSpinBox(this), QStringLiteral("txtSlave"), 100, 42, 80, 20,
                     QStringLiteral("从站地址"));
    txtSlave->setRange(kModbusLeastSlave, kModbusMostSlave);
    MakeLabelBefore(this, QStringLiteral("Label2"), QStringLiteral("从站地址:"), 14, 45, txtSlave);
    txtMeter = Place(new QLineEdit(this), QStringLiteral("txtMeter"), 100, 72, 146, 20,
                     QStringLiteral("表地址"));
    txtMeter->setMaxLength(static_cast<int>(kBroadcastMeter.size()));
    txtMeter->setToolTip(QStringLiteral("表上印的 12 位地址；AAAAAAAAAAAA 为广播地址"));
    MakeLabelBefore(this, QStringLiteral("Label3"), QStringLiteral("表地址:"), 14, 75, txtMeter);
    chkPreamble = Place(new QCheckBox(QStringLiteral("前导 FE FE FE FE"), this),
                        QStringLiteral("chkPreamble"), 100, 100, 146, 20,
                        QStringLiteral("前导 FE FE FE FE"));
    cmdok = MakeButton(this, QStringLiteral("cmdok"), QStringLiteral("确定"), 44, 140, 64, 22);
    cmdok->setDefault(true);
    cmdcancel =
        MakeButton(this, QStringLiteral("cmdcancel"), QStringLiteral("取消"), 154, 140, 64, 22);
    connect(cmbProtocol, &QComboBox::currentIndexChanged, this, &FrmProtocol::EnableFields);
    connect(cmdok, &QPushButton::clicked, this, &FrmProtocol::cmdok_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &QDialog::reject);
    EnableFields();
}

void FrmProtocol::ask(const ProtocolChoice& choice)
{
    cmbProtocol->setCurrentIndex(choice.kind);
    txtSlave->setValue(choice.slave);
    txtMeter->setText(QString::fromStdString(choice.meter));
    chkPreamble->setChecked(choice.preamble);
    EnableFields();
    show();
    raise();
    activateWindow();
    cmbProtocol->setFocus();
}

void FrmProtocol::EnableFields()
{
    const int kind = cmbProtocol->currentIndex();
    const bool modbus = kind == ProtocolModbusRtu || kind == ProtocolModbusAscii;
    txtSlave->setEnabled(modbus);
    txtMeter->setEnabled(kind == ProtocolDlt645);
    chkPreamble->setEnabled(kind == ProtocolDlt645);
}

ProtocolChoice FrmProtocol::Chosen() const
{
    return {cmbProtocol->currentIndex(), txtSlave->value(),
            txtMeter->text().trimmed().toUpper().toStdString(), chkPreamble->isChecked()};
}

void FrmProtocol::cmdok_Click()
{
    const ProtocolChoice choice = Chosen();
    if (const std::string problem = ProtocolChoiceProblem(choice); !problem.empty()) {
        MessageSeam::instance().show(Message{problem, "提示", MessageIcon::Warning, {}});
        txtMeter->setFocus();
        txtMeter->selectAll();
        return;
    }
    emit choiceConfirmed(choice);
    hide();
}

} // namespace quorvane
