#pragma once

#include "Setup.h"

#include <QDialog>
#include <functional>
#include <vector>

class QPushButton;
class QLabel;
class QTableWidget;
class QTableWidgetItem;

namespace quorvane {

class MainControls;

// "常用命令": saved send texts, each with a name and its input format, one
// click away. Double-clicking a row, or selecting it and pressing "发送" or
// Enter, asks the main window to put the text and format into the send box
// and send it as "发 送" does; Enter that ends the edit of a cell only ends
// the edit. While timed sending runs nothing is sent. An edit that leaves a
// name empty, a text too long for the send box, a pattern that does not read
// or a time that is no whole number up to 65535 is refused with a message.
//
// As steps of a sequence ("运行序列..."), each command has what it expects
// back (期望应答: 不检查, 校验应答, 字节 with its pattern, 无应答), its own
// time-out (empty: the receive time-out) and a pause after it.
// Modeless; closing only hides it, so the list stays.
class CommandWindow : public QDialog {
    Q_OBJECT
public:
    CommandWindow(MainControls& main, QWidget* parent);

    void showAndRaise();
    std::vector<SavedCommand> commands() const;
    void setCommands(const std::vector<SavedCommand>& commands);

    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdSend_Click();

    // The send box's text and format, taken by "添加".
    std::function<SavedCommand()> current;

signals:
    // The user asked to send a command.
    void sendRequested(const SavedCommand& command);
    // "运行序列...": the commands are to run as a sequence.
    void runRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addRow(const SavedCommand& command);
    void moveSelected(int by);
    int selectedRow() const;
    void updateButtons();
    bool editing() const;
    int listIndex(int row, int column) const;
    void CellEdited(QTableWidgetItem* item);

    MainControls& main_;
    QTableWidget* table_ = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdRun = nullptr;
    QLabel* lblHint = nullptr; // what a double click does
    bool shownBefore_ = false;
};

} // namespace quorvane
