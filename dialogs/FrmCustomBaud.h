#pragma once

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

namespace quorvane
{

// The small dialog "自定义波特率" that the port dialog opens when its baud
// list's last item is chosen: one whole rate the driver can be asked for.
// Window-modal over the port dialog, which keeps it for the next rate.
class FrmCustomBaud : public QDialog
{
    Q_OBJECT
public:
    static constexpr unsigned kLowestRate = 50;
    static constexpr unsigned kHighestRate = 4000000;

    explicit FrmCustomBaud(QWidget* parent);

    // The rate a text stands for: decimal digits only, blanks around them
    // allowed, from 50 to 4000000; nothing otherwise.
    static std::optional<unsigned> ReadRate(const QString& text);

    // Shows the box empty, centred over the port dialog.
    void askOver(const QWidget* owner);
    void cmdok_Click();

signals:
    // Confirmed: the rate as plain decimal text ("250000"). Esc, "取消" and
    // the close box reject the dialog instead.
    void rateChosen(const QString& rate);

private:
    QLineEdit* txtBaud = nullptr;
    QPushButton* cmdok = nullptr;
    QPushButton* cmdcancel = nullptr;
};

} // namespace quorvane
