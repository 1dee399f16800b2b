#pragma once

#include "SerialPort.h"

#include <QDialog>
#include <QString>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace quorvane
{

class FrmCustomBaud;
class FrmRs485;
class MainControls;

// The port settings dialog "通信参数设置": port number, line settings and
// flow control, and under "RS-485..." the driver's RS-485 direction control.
// Built at its first showing and only hidden afterwards, so it keeps its
// selections; it never reads them back from the port.
class FrmCom : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kListCount = 6; // port, baud, data, parity, stop, flow control

    FrmCom(MainControls& main, QWidget* parent);

    void showAndRaise();
    void SetPortDefaults();
    void cmdok_Click();
    void cmdcancel_Click();

    // The settings text "baud,parity,data,stop" of the current selections.
    QString SettingsText() const;

    // For setups: the index of the first text its list cannot take (0 port
    // ... 5 flow control), or -1. A baud text may be any whole rate from 50
    // to 4000000; it becomes the custom item when the list does not hold it.
    int FirstInvalidSelection(const std::array<QString, kListCount>& texts) const;
    // Selects the six texts and confirms them as "确定" does. Returns -1, or
    // the first bad index as above, and then nothing changes.
    int ConfirmSelections(const std::array<QString, kListCount>& texts);
    // The same with RS-485 direction control (a setup holds both).
    int ConfirmSelections(const std::array<QString, kListCount>& texts, const Rs485Settings& rs485);
    // The six texts as last confirmed (or set by "默认").
    const std::array<QString, kListCount>& SavedSelections() const { return SavedPortTexts; }
    // RS-485 direction control as last confirmed (off by "默认").
    const Rs485Settings& SavedRs485() const { return savedRs485_; }
    // "RS-485...": the small dialog over this one.
    void cmdRs485_Click();
    // Asks for a network port (rfc2217:// or socket://) for the COMn chosen
    // in the list, kept until the program ends; empty text takes it back.
    void TypeNetworkPort();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void BuildLists();
    void SelectText(int list, const QString& text);
    bool SelectBaud(const QString& text);
    int PlaceCustomRate(const QString& rate);
    int CustomEntryIndex() const;
    void BaudChosen(int index);
    void AskCustomRate();
    void DropCustomRateBox();
    void ShowPortItems();
    SerialPort::Handshaking ChosenHandshaking() const;

    MainControls& main_;
    std::array<QComboBox*, kListCount> Combo1{};
    std::array<QString, kListCount> SavedPortTexts;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdRs485 = nullptr;
    FrmRs485* rs485Box_ = nullptr; // built at the first "RS-485..."
    Rs485Settings rs485_;          // as chosen in the small dialog, until OK or Cancel
    Rs485Settings savedRs485_;
    QPushButton* cmdok = nullptr;
    QPushButton* cmdcancel = nullptr;
    FrmCustomBaud* customBaud_ = nullptr; // built at the first "自定义..."
    QString lastBaudText_;                // the rate selected before "自定义..." was chosen
    bool hasCustomRate_ = false;          // the baud list holds a typed rate
    bool shownBefore_ = false;
};

} // namespace quorvane
