#pragma once

#include "ProtocolChoice.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quorvane
{

// The dialog "协议" of 配置 → 协议...: the documented frame format or one of
// the protocols, with what the protocol needs (the Modbus slave address, or
// the meter's address as printed on it and whether frames begin with FE FE
// FE FE). Only the fields of the protocol chosen are enabled. 确定 refuses
// a meter address that does not read, with a box, and changes nothing.
class FrmProtocol : public QDialog
{
    Q_OBJECT
public:
    explicit FrmProtocol(QWidget* parent);

    void ask(const ProtocolChoice& choice);
    ProtocolChoice Chosen() const;
    void cmdok_Click();

signals:
    void choiceConfirmed(const ProtocolChoice& choice);

private:
    void EnableFields();

    QComboBox* cmbProtocol = nullptr;
    QSpinBox* txtSlave = nullptr;
    QLineEdit* txtMeter = nullptr;
    QCheckBox* chkPreamble = nullptr;
    QPushButton* cmdok = nullptr;
    QPushButton* cmdcancel = nullptr;
};

} // namespace quorvane
