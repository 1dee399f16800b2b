#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorvane
{

class MainControls;

// The send mode dialog "发送形式": single or timed sending with its interval,
// and the input format of the send text. The committed choices are opt1 and
// opt2 of the settings record. Built at its first opening, only hidden after.
class FrmSendset : public QDialog
{
    Q_OBJECT
public:
    FrmSendset(MainControls& main, QWidget* parent);

    void showAndRaise();
    void cmdOK_Click();
    void cmdcancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Optsend_Click(int index);
    void Optformat_Click(int index);

    MainControls& main_;
    std::array<QRadioButton*, 2> Optsend{};
    std::array<QRadioButton*, 3> Optformat{};
    QLineEdit* txtTimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdcancel = nullptr;
    int pendingSend_ = 0;
    int pendingFormat_ = 1;
    QString savedInterval_ = QStringLiteral("100");
    bool shownBefore_ = false;
};

} // namespace quorvane
