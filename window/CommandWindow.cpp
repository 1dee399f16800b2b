#include "CommandWindow.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "SetupText.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

namespace quorvane {

namespace {

enum Column { NameColumn, TextColumn, FormatColumn };

// Each cell keeps the last text it was given that a setup can hold, so an
// edit that is refused puts it back.
constexpr int kKeptRole = Qt::UserRole;

// The list, telling whether a cell is being edited.
class CommandTable : public QTableWidget {
public:
    using QTableWidget::QTableWidget;
    bool editing() const { return state() == EditingState; }
};

const QStringList& FormatItems()
{
    static const QStringList items = {QStringLiteral("字符串"), QStringLiteral("十进制"),
                                      QStringLiteral("十六进制")};
    return items;
}

} // namespace

CommandWindow::CommandWindow(MainControls& main, QWidget* parent) : QDialog(parent), main_(main)
{
    setObjectName(QStringLiteral("frmCommands"));
    setWindowTitle(QStringLiteral("常用命令"));
    SetUpDialogWindow(this, 420, 260);

    table_ = Place(new CommandTable(0, 3, this), QStringLiteral("lstCommands"), 8, 8, 404, 212,
                   QStringLiteral("常用命令列表"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("名称"), QStringLiteral("发送数据"), QStringLiteral("输入格式")});
    table_->horizontalHeader()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    table_->setColumnWidth(NameColumn, 100);
    table_->setColumnWidth(FormatColumn, 84);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double click sends; a name or text is edited with F2 or a click on
    // the selected row.
    table_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    table_->installEventFilter(this);

    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
    } buttons[] = {{&cmdAdd, "cmdAdd", "添加"},
                   {&cmdRemove, "cmdRemove", "删除"},
                   {&cmdUp, "cmdUp", "上移"},
                   {&cmdDown, "cmdDown", "下移"},
                   {&cmdSend, "cmdSend", "发送"}};
    int x = 8;
    for (const auto& b : buttons) {
        *b.button = MakeButton(this, QString::fromLatin1(b.name), QString::fromUtf8(b.caption), x,
                               228, 72, 24);
        x += 83;
    }
    connect(cmdAdd, &QPushButton::clicked, this, &CommandWindow::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &CommandWindow::cmdRemove_Click);
    connect(cmdUp, &QPushButton::clicked, this, &CommandWindow::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &CommandWindow::cmdDown_Click);
    connect(cmdSend, &QPushButton::clicked, this, &CommandWindow::cmdSend_Click);
    // A double click on a cell that is being edited goes to its editor.
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { cmdSend_Click(); });
    connect(table_, &QTableWidget::itemChanged, this, &CommandWindow::CellEdited);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &CommandWindow::updateButtons);
    connect(&main_.sendState(), &SendStateSignal::timedSendingChanged, this,
            &CommandWindow::updateButtons);
    updateButtons();
}

void CommandWindow::showAndRaise()
{
    ShowCentredOrRaise(this, !shownBefore_);
    shownBefore_ = true;
}

void CommandWindow::addRow(const SavedCommand& command)
{
    const int row = table_->rowCount();
    const QSignalBlocker quiet(table_);
    table_->insertRow(row);
    for (const auto& [column, text] : {std::pair{NameColumn, command.name},
                                       std::pair{TextColumn, command.text}}) {
        auto* item = new QTableWidgetItem(QString::fromStdString(text));
        item->setData(kKeptRole, item->text());
        table_->setItem(row, column, item);
    }
    auto* format = new QComboBox(table_);
    format->addItems(FormatItems());
    format->setCurrentIndex(command.format >= 0 && command.format <= 2 ? command.format : 1);
    format->setAccessibleName(QStringLiteral("输入格式"));
    table_->setCellWidget(row, FormatColumn, format);
}

std::vector<SavedCommand> CommandWindow::commands() const
{
    std::vector<SavedCommand> list;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const auto* format = qobject_cast<QComboBox*>(table_->cellWidget(row, FormatColumn));
        list.push_back({table_->item(row, NameColumn)->text().toStdString(),
                        table_->item(row, TextColumn)->text().toStdString(),
                        format != nullptr ? format->currentIndex() : 1});
    }
    return list;
}

void CommandWindow::setCommands(const std::vector<SavedCommand>& commands)
{
    table_->setRowCount(0);
    for (const SavedCommand& command : commands) {
        addRow(command);
    }
    updateButtons();
}

int CommandWindow::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = table_->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void CommandWindow::cmdAdd_Click()
{
    if (table_->rowCount() >= static_cast<int>(kSetupMaxCommands)) {
        return;
    }
    SavedCommand command = current ? current() : SavedCommand{};
    command.name = QStringLiteral("命令%1").arg(table_->rowCount() + 1).toStdString();
    addRow(command);
    const int row = table_->rowCount() - 1;
    table_->selectRow(row);
    table_->editItem(table_->item(row, NameColumn));
}

void CommandWindow::cmdRemove_Click()
{
    const int row = selectedRow();
    if (row >= 0) {
        table_->removeRow(row);
        if (table_->rowCount() > 0) {
            table_->selectRow(std::min(row, table_->rowCount() - 1));
        }
    }
    updateButtons();
}

void CommandWindow::moveSelected(int by)
{
    const int row = selectedRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= table_->rowCount()) {
        return;
    }
    std::vector<SavedCommand> list = commands();
    std::swap(list[static_cast<std::size_t>(row)], list[static_cast<std::size_t>(to)]);
    setCommands(list);
    table_->selectRow(to);
}

void CommandWindow::cmdUp_Click()
{
    moveSelected(-1);
}

void CommandWindow::cmdDown_Click()
{
    moveSelected(1);
}

void CommandWindow::cmdSend_Click()
{
    const int row = selectedRow();
    if (row < 0 || main_.timedSendingRunning() || editing()) {
        return; // the send button's state rules hold here too
    }
    emit sendRequested(commands()[static_cast<std::size_t>(row)]);
}

bool CommandWindow::editing() const
{
    return static_cast<const CommandTable*>(table_)->editing();
}

// A name must not be empty and must fit a setup; a text must fit the send box.
void CommandWindow::CellEdited(QTableWidgetItem* item)
{
    if (item->column() != NameColumn && item->column() != TextColumn) {
        return;
    }
    SavedCommand command;
    (item->column() == NameColumn ? command.name : command.text) = item->text().toStdString();
    if (item->column() == TextColumn) {
        command.name = "-";
    }
    const Message refusal = SavedCommandRefusal(command);
    if (refusal.text.empty()) {
        item->setData(kKeptRole, item->text());
        return;
    }
    {
        const QSignalBlocker quiet(table_);
        item->setText(item->data(kKeptRole).toString());
    }
    MessageSeam::instance().show(refusal);
}

void CommandWindow::updateButtons()
{
    const bool selected = selectedRow() >= 0;
    cmdRemove->setEnabled(selected);
    cmdUp->setEnabled(selected);
    cmdDown->setEnabled(selected);
    cmdSend->setEnabled(selected && !main_.timedSendingRunning());
}

bool CommandWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on a selected row sends it. Enter that ends an edit reaches the
    // table too (the editor passes it on) while the edit is still open: it
    // only commits the edit.
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !editing()) {
            cmdSend_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quorvane
