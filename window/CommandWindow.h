#pragma once

#include "Setup.h"

#include <QDialog>
#include <functional>
#include <vector>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace quorvane {

class MainControls;

// "常用命令": saved send texts, each with a name and its input format, one
// click away. Double-clicking a row, or selecting it and pressing "发送" or
// Enter, asks the main window to put the text and format into the send box
// and send it as "发 送" does; Enter that ends the edit of a cell only ends
// the edit. While timed sending runs nothing is sent. An edit that leaves a
// name empty or a text too long for the send box is refused with a message.
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addRow(const SavedCommand& command);
    void moveSelected(int by);
    int selectedRow() const;
    void updateButtons();
    bool editing() const;
    void CellEdited(QTableWidgetItem* item);

    MainControls& main_;
    QTableWidget* table_ = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QPushButton* cmdSend = nullptr;
    bool shownBefore_ = false;
};

} // namespace quorvane
