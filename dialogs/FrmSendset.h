#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorvane
{

class MainControls;

// What a setup commits through the send mode dialog: the indices of the
// option groups and lists, and the interval text.
struct SendsetChoices {
    int mode = 0;   // Optsend
    int format = 1; // Optformat
    QString interval = QStringLiteral("100");
    int encoding = 0;  // cmbEncoding, a TextEncodingId
    int lineBreak = 0; // cmbLineBreak, a LineBreakId
};

// The send mode dialog "发送形式": single or timed sending with its interval,
// the input format of the send text, and how string text becomes bytes. The
// committed choices are opt1, opt2, TextEncoding and LineBreak of the settings
// record. Built at its first opening, only hidden after.
class FrmSendset : public QDialog
{
    Q_OBJECT
public:
    FrmSendset(MainControls& main, QWidget* parent);

    void showAndRaise();
    void cmdOK_Click();
    void cmdcancel_Click();

    static constexpr int kCommitted = -1;
    static constexpr int kRefusedWhileSending = -2;
    // For setups: kCommitted, or the first item the dialog cannot take
    // (0 mode, 1 format, 2 interval: a whole number 0 to 65535, 3 encoding,
    // 4 line break).
    int FirstInvalidChoice(const SendsetChoices& choices) const;
    // Chooses and commits them as OK does: kCommitted, the first bad item as
    // above (nothing changes), or kRefusedWhileSending while timed sending runs.
    int ConfirmChoices(const SendsetChoices& choices);
    // What the last OK committed (the interval text as last confirmed).
    SendsetChoices CommittedChoices() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void Optsend_Click(int index);
    void Optformat_Click(int index);
    void buildTextLists();
    void ShowCommittedTextChoices();

    MainControls& main_;
    std::array<QRadioButton*, 2> Optsend{};
    std::array<QRadioButton*, 3> Optformat{};
    QLineEdit* txtTimer = nullptr;
    QComboBox* cmbEncoding = nullptr;
    QComboBox* cmbLineBreak = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdcancel = nullptr;
    int pendingSend_ = 0;
    int pendingFormat_ = 1;
    QString savedInterval_ = QStringLiteral("100");
    bool shownBefore_ = false;
};

} // namespace quorvane
