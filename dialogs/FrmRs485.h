#pragma once

#include "Rs485.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace quorvane
{

// The small dialog "RS-485 收发控制" the port dialog opens from its
// "RS-485..." button: whether the driver turns the transceiver round, RTS
// high or low while sending, and the delays before and after a frame
// (0–1000 ms). Window-modal over the port dialog; what it confirms becomes
// the port dialog's choice, applied with the port dialog's 确定.
class FrmRs485 : public QDialog
{
    Q_OBJECT
public:
    explicit FrmRs485(QWidget* parent);

    // Shows the settings given, centred over the port dialog.
    void askOver(const QWidget* owner, const Rs485Settings& settings);
    void cmdok_Click();
    Rs485Settings Chosen() const;

signals:
    void settingsChosen(const Rs485Settings& settings);

private:
    void EnableDetails();

    QCheckBox* chkRs485 = nullptr;
    QComboBox* cmbRts = nullptr;
    QSpinBox* txtBefore = nullptr;
    QSpinBox* txtAfter = nullptr;
    QPushButton* cmdok = nullptr;
    QPushButton* cmdcancel = nullptr;
};

} // namespace quorvane
