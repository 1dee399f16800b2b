#pragma once

#include <QDialog>
#include <QString>
#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace quorvane {

class MainControls;

// The port settings dialog "通信参数设置": port number and line settings.
// Built at its first showing and only hidden afterwards, so it keeps its
// selections; it never reads them back from the port.
class FrmCom : public QDialog {
    Q_OBJECT
public:
    FrmCom(MainControls& main, QWidget* parent);

    void showAndRaise();
    void SetPortDefaults();
    void cmdok_Click();
    void cmdcancel_Click();

    // The settings text "baud,parity,data,stop" of the current selections.
    QString SettingsText() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void SelectText(int list, const QString& text);
    void ShowPortDevices();

    MainControls& main_;
    std::array<QComboBox*, 5> Combo1{};
    std::array<QString, 5> SavedPortTexts;
    QPushButton* Command1 = nullptr;
    QPushButton* cmdok = nullptr;
    QPushButton* cmdcancel = nullptr;
    bool shownBefore_ = false;
};

} // namespace quorvane
