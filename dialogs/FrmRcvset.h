#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace quorvane
{

class MainControls;

// The receive settings dialog "接收参数设置": the receive time-out and the
// receive limit, whether receptions are checked as reply frames and whether
// their headers show milliseconds. Created at opening, destroyed when it closes.
class FrmRcvset : public QDialog
{
    Q_OBJECT
public:
    FrmRcvset(MainControls& main, QWidget* parent);

    void showAndRaise();
    void OKButton_Click();
    void cmdcancel_Click();

private:
    MainControls& main_;
    QLineEdit* txtRcvtime = nullptr;
    QLineEdit* txtRcvMax = nullptr;
    QCheckBox* chkCheckReply = nullptr;
    QCheckBox* chkShowMillis = nullptr;
    QCheckBox* chkContinue = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* cmdcancel = nullptr;
};

} // namespace quorvane
