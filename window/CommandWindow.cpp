#include "CommandWindow.h"

#include "Controls.h"
#include "DialogWindow.h"
#include "MainControls.h"
#include "MessageSeam.h"
#include "SetupText.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <optional>

namespace quorvane {

namespace {

enum Column {
    NameColumn,
    TextColumn,
    FormatColumn,
    ExpectColumn,  // 期望应答
    PatternColumn, // the bytes 字节 expects
    TimeoutColumn, // 0: the receive time-out
    WaitColumn,
    ColumnCount
};

const QStringList& ExpectItems()
{
    static const QStringList items = {QStringLiteral("不检查"), QStringLiteral("校验应答"),
                                      QStringLiteral("字节"), QStringLiteral("无应答")};
    return items;
}

// A cell of whole milliseconds, 0..65535 (empty: 0).
std::optional<int> ReadMilliseconds(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return 0;
    }
    bool ok = false;
    const int ms = trimmed.toInt(&ok);
    return ok && ms >= 0 && ms <= 65535 && !trimmed.startsWith(u'+') ? std::optional(ms)
                                                                      : std::nullopt;
}

// Each cell keeps the last text it was given that a setup can hold, so an
// edit that is refused puts it back.
constexpr int kKeptRole = Qt::UserRole;

// The list, telling whether a cell is being edited. A double click edits
// any cell but a name: a name's double click sends its command.
class CommandTable : public QTableWidget {
public:
    using QTableWidget::QTableWidget;
    bool editing() const { return state() == EditingState; }

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        if (trigger == DoubleClicked && index.column() == NameColumn) {
            return false;
        }
        return QTableWidget::edit(index, trigger, event);
    }
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
    SetUpDialogWindow(this, 700, 302);

    table_ = Place(new CommandTable(0, ColumnCount, this), QStringLiteral("lstCommands"), 8, 8, 684,
                   232, QStringLiteral("常用命令列表"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("名称"), QStringLiteral("发送数据"), QStringLiteral("输入格式"),
         QStringLiteral("期望应答"), QStringLiteral("应答字节"), QStringLiteral("超时(ms)"),
         QStringLiteral("等待(ms)")});
    table_->horizontalHeader()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    table_->setColumnWidth(NameColumn, 90);
    table_->setColumnWidth(FormatColumn, 76);
    table_->setColumnWidth(ExpectColumn, 84);
    table_->setColumnWidth(PatternColumn, 130);
    table_->setColumnWidth(TimeoutColumn, 62);
    table_->setColumnWidth(WaitColumn, 62);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double click on a name sends; on another cell it edits the cell, as
    // F2 or a click on the selected row does. Tab leaves the list; the
    // arrows move inside it.
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                            QAbstractItemView::EditKeyPressed);
    table_->setTabKeyNavigation(false);
    table_->installEventFilter(this);
    lblHint = MakeLabel(this, QStringLiteral("lblHint"),
                        QStringLiteral("双击名称发送该命令,双击其他单元格编辑;F2 编辑所选单元格"),
                        8, 278, 684, 18);

    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
    } buttons[] = {{&cmdAdd, "cmdAdd", "添加(&A)"},
                   {&cmdRemove, "cmdRemove", "删除(&D)"},
                   {&cmdUp, "cmdUp", "上移(&U)"},
                   {&cmdDown, "cmdDown", "下移(&N)"},
                   {&cmdSend, "cmdSend", "发送(&S)"},
                   {&cmdRun, "cmdRun", "运行序列(&R)..."}};
    int x = 8;
    for (const auto& b : buttons) {
        *b.button = MakeButton(this, QString::fromLatin1(b.name), QString::fromUtf8(b.caption), x,
                               248, 80, 24);
        x += 91;
    }
    connect(cmdRun, &QPushButton::clicked, this, &CommandWindow::runRequested);
    connect(cmdAdd, &QPushButton::clicked, this, &CommandWindow::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &CommandWindow::cmdRemove_Click);
    connect(cmdUp, &QPushButton::clicked, this, &CommandWindow::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &CommandWindow::cmdDown_Click);
    connect(cmdSend, &QPushButton::clicked, this, &CommandWindow::cmdSend_Click);
    // A double click on a cell that is being edited goes to its editor.
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int, int column) {
        if (column == NameColumn) {
            cmdSend_Click();
        }
    });
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
    const std::pair<Column, QString> texts[] = {
        {NameColumn, QString::fromStdString(command.name)},
        {TextColumn, QString::fromStdString(command.text)},
        {PatternColumn, QString::fromStdString(command.expect.pattern)},
        {TimeoutColumn, QString::number(command.timeoutMs)},
        {WaitColumn, QString::number(command.waitMs)}};
    for (const auto& [column, text] : texts) {
        auto* item = new QTableWidgetItem(text);
        item->setData(kKeptRole, item->text());
        table_->setItem(row, column, item);
    }
    const auto list = [this, row](Column column, const QStringList& items, int index,
                                  const QString& name) {
        auto* box = new QComboBox(table_);
        box->addItems(items);
        box->setCurrentIndex(index >= 0 && index < items.size() ? index : 0);
        box->setAccessibleName(name);
        table_->setCellWidget(row, column, box);
    };
    list(FormatColumn, FormatItems(), command.format >= 0 && command.format <= 2 ? command.format : 1,
         QStringLiteral("输入格式"));
    list(ExpectColumn, ExpectItems(), static_cast<int>(command.expect.kind),
         QStringLiteral("期望应答"));
}

int CommandWindow::listIndex(int row, int column) const
{
    const auto* box = qobject_cast<QComboBox*>(table_->cellWidget(row, column));
    return box != nullptr ? box->currentIndex() : 0;
}

std::vector<SavedCommand> CommandWindow::commands() const
{
    std::vector<SavedCommand> list;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const auto text = [&](Column column) { return table_->item(row, column)->text(); };
        list.push_back({text(NameColumn).toStdString(), text(TextColumn).toStdString(),
                        listIndex(row, FormatColumn),
                        {static_cast<ExpectKind>(listIndex(row, ExpectColumn)),
                         text(PatternColumn).trimmed().toStdString()},
                        ReadMilliseconds(text(TimeoutColumn)).value_or(0),
                        ReadMilliseconds(text(WaitColumn)).value_or(0)});
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

// A name must not be empty and must fit a setup; a text must fit the send
// box; a pattern must read; times are whole milliseconds up to 65535.
void CommandWindow::CellEdited(QTableWidgetItem* item)
{
    SavedCommand command;
    command.name = "-";
    Message refusal;
    switch (item->column()) {
    case NameColumn:
        command.name = item->text().toStdString();
        break;
    case TextColumn:
        command.text = item->text().toStdString();
        break;
    case PatternColumn:
        if (!item->text().trimmed().isEmpty()) {
            command.expect = {ExpectKind::Bytes, item->text().toStdString()};
        }
        break;
    case TimeoutColumn:
    case WaitColumn:
        if (!ReadMilliseconds(item->text())) {
            refusal = {std::string(item->column() == TimeoutColumn ? "超时" : "等待时间") +
                           "应为0-65535之间的整数",
                       "提示", MessageIcon::Warning, {}};
        }
        break;
    default:
        return;
    }
    if (refusal.text.empty()) {
        refusal = SavedCommandRefusal(command);
    }
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
    cmdRun->setEnabled(table_->rowCount() > 0);
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
