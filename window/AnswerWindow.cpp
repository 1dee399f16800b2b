#include "AnswerWindow.h"

#include "AutoAnswer.h"
#include "Controls.h"
#include "DialogWindow.h"
#include "MessageSeam.h"
#include "SharedSettings.h"
#include "SimulatedDevice.h"
#include "SimulationTables.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>
#include <map>

namespace quorvane {

namespace {

enum Column {
    EnabledColumn,
    NameColumn,
    MatchColumn,   // 字节 or 校验正确的帧
    PatternColumn, // the pattern, or the frame's command byte
    ReplyColumn,   // 字节 or 按帧格式
    TextColumn,    // hex bytes, or the data area
    DelayColumn,
    CountColumn,
    ColumnCount
};

// Each text cell keeps the last text it was given that a rule can use, so
// an edit that is refused puts it back.
constexpr int kKeptRole = Qt::UserRole;
constexpr int kCountsEveryMs = 200;

QTableWidgetItem* TextItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setData(kKeptRole, text);
    return item;
}

} // namespace

AnswerWindow::AnswerWindow(AutoAnswer& answers, QWidget* parent)
    : QDialog(parent), answers_(answers)
{
    setObjectName(QStringLiteral("frmAnswers"));
    setWindowTitle(QStringLiteral("自动应答"));
    SetUpDialogWindow(this, 720, 538);

    chkEnable = Place(new QCheckBox(QStringLiteral("启用自动应答"), this),
                      QStringLiteral("chkEnableAnswers"), 8, 8, 140, 20,
                      QStringLiteral("启用自动应答"));
    lstRules = Place(new QTableWidget(0, ColumnCount, this), QStringLiteral("lstRules"), 8, 34, 704,
                     216, QStringLiteral("自动应答规则"));
    lstRules->setHorizontalHeaderLabels(
        {QStringLiteral("启用"), QStringLiteral("名称"), QStringLiteral("收到方式"),
         QStringLiteral("收到"), QStringLiteral("回复方式"), QStringLiteral("回复"),
         QStringLiteral("延时(ms)"), QStringLiteral("已应答")});
    lstRules->verticalHeader()->hide();
    lstRules->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstRules->setSelectionMode(QAbstractItemView::SingleSelection);
    lstRules->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                              QAbstractItemView::EditKeyPressed);
    // Arrows move among the cells; Tab leaves the table for the next control.
    lstRules->setTabKeyNavigation(false);
    FitColumns();

    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
    } buttons[] = {{&cmdAdd, "cmdAddRule", "添加(&A)"},
                   {&cmdRemove, "cmdRemoveRule", "删除(&D)"},
                   {&cmdUp, "cmdRuleUp", "上移(&U)"},
                   {&cmdDown, "cmdRuleDown", "下移(&N)"}};
    int x = 8;
    for (const auto& b : buttons) {
        *b.button = MakeButton(this, QString::fromLatin1(b.name), QString::fromUtf8(b.caption), x,
                               258, 80, 24);
        x += 91;
    }
    // Why answering paused, until 启用自动应答 is ticked again.
    lblPause = MakeLabel(this, QStringLiteral("lblAnswerPause"), {}, x, 260, 712 - x, 20);
    connect(cmdAdd, &QPushButton::clicked, this, &AnswerWindow::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &AnswerWindow::cmdRemove_Click);
    connect(cmdUp, &QPushButton::clicked, this, &AnswerWindow::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &AnswerWindow::cmdDown_Click);
    connect(chkEnable, &QCheckBox::toggled, this, [this](bool on) { answers_.setEnabled(on); });
    connect(lstRules, &QTableWidget::itemChanged, this, &AnswerWindow::CellEdited);
    connect(lstRules, &QTableWidget::itemSelectionChanged, this, &AnswerWindow::updateButtons);
    // Too many answers in a second, or its answers echoed back: answering
    // paused; the user enables it again.
    connect(&answers_, &AutoAnswer::paused, this, [this](AutoAnswer::Pause why) {
        const QSignalBlocker quiet(chkEnable);
        chkEnable->setChecked(false);
        ShowPause(AutoAnswer::PauseNote(why));
    });
    connect(&answers_, &AutoAnswer::enabledChanged, this, [this](bool on) {
        if (on) {
            ShowPause({});
        }
    });
    countsDue_.setSingleShot(true);
    countsDue_.setInterval(kCountsEveryMs);
    connect(&countsDue_, &QTimer::timeout, this, &AnswerWindow::ShowCounts);
    connect(&answers_, &AutoAnswer::answered, this, [this] {
        if (!countsDue_.isActive()) {
            countsDue_.start();
        }
    });
    updateButtons();

    // 模拟从站, under the rules.
    chkSimulate = Place(new QCheckBox(QStringLiteral("模拟从站"), this),
                        QStringLiteral("chkSimulate"), 8, 292, 90, 20, QStringLiteral("模拟从站"));
    lblSimulation = MakeLabel(this, QStringLiteral("lblSimulation"), {}, 104, 292, 608, 20);
    simTables = new SimulationTables(this, 8, 318);
    connect(chkSimulate, &QCheckBox::toggled, this, &AnswerWindow::ApplySimulation);
    connect(simTables, &SimulationTables::tablesEdited, this, &AnswerWindow::TablesEdited);
    tablesDue_.setSingleShot(true);
    tablesDue_.setInterval(kCountsEveryMs);
    connect(&tablesDue_, &QTimer::timeout, this, [this] {
        if (const SimulatedDevice* device = answers_.simulation()) {
            simTables->setTables(device->tables());
        }
    });
    connect(&answers_, &AutoAnswer::tablesWritten, this, [this] {
        if (!tablesDue_.isActive()) {
            tablesDue_.start();
        }
    });
    ProtocolChanged();
}

void AnswerWindow::ShowPause(const QString& note)
{
    lblPause->setText(note);
    lblPause->setAccessibleName(note);
}

// Each column at least as wide as its header needs in the program's font
// (whatever the scaling, and with the fonts at hand).
void AnswerWindow::FitColumns()
{
    const int widths[] = {40, 80, 96, 150, 84, 130, 62, 58};
    for (int column = 0; column < ColumnCount; ++column) {
        lstRules->setColumnWidth(column, std::max(widths[column],
                                                  lstRules->horizontalHeader()->sectionSizeHint(column)));
    }
}

void AnswerWindow::showAndRaise()
{
    ShowCentredOrRaise(this, !shownBefore_);
    shownBefore_ = true;
}

bool AnswerWindow::answering() const
{
    return chkEnable->isChecked();
}

void AnswerWindow::addRow(const AnswerRule& rule)
{
    const int row = lstRules->rowCount();
    const QSignalBlocker quiet(lstRules);
    lstRules->insertRow(row);
    auto* enabled = new QTableWidgetItem;
    enabled->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    enabled->setCheckState(rule.enabled ? Qt::Checked : Qt::Unchecked);
    enabled->setData(Qt::AccessibleTextRole, QStringLiteral("启用"));
    lstRules->setItem(row, EnabledColumn, enabled);
    lstRules->setItem(row, NameColumn, TextItem(QString::fromStdString(rule.name)));
    lstRules->setItem(row, PatternColumn, TextItem(QString::fromStdString(rule.pattern)));
    lstRules->setItem(row, TextColumn, TextItem(QString::fromStdString(rule.text)));
    lstRules->setItem(row, DelayColumn, TextItem(QString::number(rule.delayMs)));
    auto* count = new QTableWidgetItem(QStringLiteral("0"));
    count->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    lstRules->setItem(row, CountColumn, count);
    const auto list = [this, row](Column column, const QStringList& items, int index,
                                  const QString& name) {
        auto* box = new QComboBox(lstRules);
        box->addItems(items);
        box->setCurrentIndex(index);
        box->setAccessibleName(name);
        connect(box, &QComboBox::currentIndexChanged, this, &AnswerWindow::ApplyRules);
        lstRules->setCellWidget(row, column, box);
    };
    list(MatchColumn, {QStringLiteral("字节"), QStringLiteral("校验正确的帧")},
         static_cast<int>(rule.match), QStringLiteral("收到方式"));
    list(ReplyColumn, {QStringLiteral("字节"), QStringLiteral("按帧格式")},
         static_cast<int>(rule.reply), QStringLiteral("回复方式"));
}

std::vector<AnswerRule> AnswerWindow::rules() const
{
    std::vector<AnswerRule> list;
    for (int row = 0; row < lstRules->rowCount(); ++row) {
        const auto text = [&](Column column) {
            return lstRules->item(row, column)->text().toStdString();
        };
        const auto index = [&](Column column) {
            const auto* box = qobject_cast<QComboBox*>(lstRules->cellWidget(row, column));
            return box != nullptr ? box->currentIndex() : 0;
        };
        list.push_back({lstRules->item(row, EnabledColumn)->checkState() == Qt::Checked,
                        text(NameColumn), static_cast<AnswerRule::Match>(index(MatchColumn)),
                        text(PatternColumn), static_cast<AnswerRule::Reply>(index(ReplyColumn)),
                        text(TextColumn), lstRules->item(row, DelayColumn)->text().toInt()});
    }
    return list;
}

void AnswerWindow::setRules(const std::vector<AnswerRule>& rules, bool enabled)
{
    lstRules->setRowCount(0);
    for (const AnswerRule& rule : rules) {
        addRow(rule);
    }
    ApplyRules();
    const QSignalBlocker quiet(chkEnable);
    chkEnable->setChecked(enabled);
    answers_.setEnabled(enabled);
    updateButtons();
}

// The rules in force follow the table; a row a rule cannot use answers
// nothing (its edit was refused).
void AnswerWindow::ApplyRules()
{
    std::vector<AnswerRule> list = rules();
    for (AnswerRule& rule : list) {
        if (!AnswerRuleProblem(rule).empty()) {
            rule.enabled = false;
        }
    }
    answers_.setRules(std::move(list));
    ShowCounts();
}

void AnswerWindow::ShowCounts()
{
    const std::vector<std::uint64_t>& counts = answers_.counts();
    const QSignalBlocker quiet(lstRules);
    for (int row = 0; row < lstRules->rowCount() && row < static_cast<int>(counts.size()); ++row) {
        lstRules->item(row, CountColumn)->setText(QString::number(counts[static_cast<std::size_t>(row)]));
    }
}

void AnswerWindow::CellEdited(QTableWidgetItem* item)
{
    if (item->column() == EnabledColumn) {
        ApplyRules();
        return;
    }
    if (item->column() == CountColumn) {
        return;
    }
    AnswerRule rule = rules()[static_cast<std::size_t>(item->row())];
    std::string problem;
    if (item->column() == DelayColumn) {
        bool ok = false;
        const int ms = item->text().trimmed().toInt(&ok);
        if (!ok || ms < 0 || ms > 65535) {
            problem = "延时应为0-65535之间的整数";
        }
    } else if (item->column() == NameColumn && item->text().trimmed().isEmpty()) {
        problem = "规则名称不能为空";
    } else if (item->column() == PatternColumn || item->column() == TextColumn) {
        problem = AnswerRuleProblem(rule);
    }
    if (problem.empty()) {
        item->setData(kKeptRole, item->text());
        ApplyRules();
        return;
    }
    {
        const QSignalBlocker quiet(lstRules);
        item->setText(item->data(kKeptRole).toString());
    }
    MessageSeam::instance().show({problem, "提示", MessageIcon::Warning, {}});
}

int AnswerWindow::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = lstRules->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

// A new rule answers a Modbus read of holding registers with one register,
// a frame of the send format: its parts to be edited.
void AnswerWindow::cmdAdd_Click()
{
    if (lstRules->rowCount() >= static_cast<int>(kMostAnswerRules)) {
        return;
    }
    addRow({true, QStringLiteral("规则%1").arg(lstRules->rowCount() + 1).toStdString(),
            AnswerRule::Match::Pattern, "01 03 ?? ?? ?? ?? ?? ??", AnswerRule::Reply::Frame,
            "02 00 00", 0});
    lstRules->selectRow(lstRules->rowCount() - 1);
    ApplyRules();
}

void AnswerWindow::cmdRemove_Click()
{
    const int row = selectedRow();
    if (row >= 0) {
        lstRules->removeRow(row);
        ApplyRules();
    }
    updateButtons();
}

void AnswerWindow::moveSelected(int by)
{
    const int row = selectedRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= lstRules->rowCount()) {
        return;
    }
    std::vector<AnswerRule> list = rules();
    std::swap(list[static_cast<std::size_t>(row)], list[static_cast<std::size_t>(to)]);
    const bool enabled = chkEnable->isChecked();
    setRules(list, enabled);
    lstRules->selectRow(to);
}

void AnswerWindow::cmdUp_Click()
{
    moveSelected(-1);
}

void AnswerWindow::cmdDown_Click()
{
    moveSelected(1);
}

bool AnswerWindow::simulating() const
{
    return chkSimulate->isChecked();
}

// While the slave plays, as the masters have written them (the table shows
// a write a moment later).
SimulatedTables AnswerWindow::tables() const
{
    if (const SimulatedDevice* device = answers_.simulation()) {
        return device->tables();
    }
    return simTables->tables();
}

// Played under the protocol in force, which a setup sets before.
void AnswerWindow::setSimulation(bool on, const SimulatedTables& tables)
{
    const std::string problem = SimulatedDevice::TablesProblem(tables);
    if (!problem.empty()) {
        MessageSeam::instance().show({problem, "提示", MessageIcon::Warning, {}});
        return;
    }
    tablesDue_.stop();
    simTables->setTables(tables);
    const QSignalBlocker quiet(chkSimulate);
    chkSimulate->setChecked(on);
    ProtocolChanged();
}

// Under the frame format there is no device to play: the tick is kept, for
// when a protocol is chosen, and the rules answer.
void AnswerWindow::ProtocolChanged()
{
    const ProtocolChoice& choice = Shared().protocol;
    const bool chosen = choice.kind != ProtocolCustom;
    const QString note = chosen ? QString::fromStdString(ProtocolCaption(choice)) +
                                      QStringLiteral(": 勾选后按下表应答每个请求,不用上面的规则")
                                : QStringLiteral("先在 配置 → 协议 中选择协议");
    chkSimulate->setEnabled(chosen);
    chkSimulate->setToolTip(chosen ? QString() : note);
    chkSimulate->setAccessibleDescription(note);
    lblSimulation->setText(note);
    lblSimulation->setAccessibleName(note);
    simTables->showProtocol(choice.kind);
    ApplySimulation();
}

namespace {

// What the user changed from `before` to `after` (entries added, changed or
// removed), laid over `live`: the tables as masters have written them since
// they were last shown, so that none of their writes is lost.
template <typename Entry, typename Key>
void LayEdit(std::vector<Entry>& live, const std::vector<Entry>& before,
             const std::vector<Entry>& after, Key key)
{
    using Keyed = std::map<decltype(key(Entry{})), Entry>;
    const auto keyed = [&](const std::vector<Entry>& entries) {
        Keyed map;
        for (const Entry& e : entries) {
            map.emplace(key(e), e);
        }
        return map;
    };
    Keyed merged = keyed(live);
    const Keyed was = keyed(before);
    const Keyed now = keyed(after);
    for (const auto& [k, entry] : was) { // removed, or its key edited
        if (!now.contains(k)) {
            merged.erase(k);
        }
    }
    for (const auto& [k, entry] : now) { // added or changed
        const auto old = was.find(k);
        if (old == was.end() || !(old->second == entry)) {
            merged.insert_or_assign(k, entry);
        }
    }
    live.clear();
    for (const auto& [k, entry] : merged) {
        live.push_back(entry);
    }
}

} // namespace

void AnswerWindow::TablesEdited(const SimulatedTables& before)
{
    const SimulatedDevice* device = answers_.simulation();
    if (device && device->tables() != before) {
        SimulatedTables live = device->tables();
        const SimulatedTables& after = simTables->tables();
        LayEdit(live.registers, before.registers, after.registers, [](const RegisterEntry& r) { return r.address; });
        LayEdit(live.coils, before.coils, after.coils, [](const CoilEntry& c) { return c.address; });
        LayEdit(live.meter, before.meter, after.meter, [](const MeterEntry& m) { return m.identifier; });
        tablesDue_.stop();
        simTables->setTables(live);
    }
    ApplySimulation();
}

// The device starts from the tables shown, as the masters last wrote them.
void AnswerWindow::ApplySimulation()
{
    const ProtocolChoice& choice = Shared().protocol;
    if (chkSimulate->isChecked() && choice.kind != ProtocolCustom) {
        tablesDue_.stop();
        if (const SimulatedDevice* device = answers_.simulation()) {
            if (device->choice() == choice && device->tables() == simTables->tables()) {
                return;
            }
        }
        answers_.setSimulation(SimulatedDevice(choice, simTables->tables()));
    } else if (answers_.simulation() != nullptr) {
        answers_.setSimulation(std::nullopt);
    }
}

void AnswerWindow::updateButtons()
{
    const bool selected = selectedRow() >= 0;
    cmdRemove->setEnabled(selected);
    cmdUp->setEnabled(selected);
    cmdDown->setEnabled(selected);
}

} // namespace quorvane
