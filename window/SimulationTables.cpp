#include "SimulationTables.h"

#include "Controls.h"
#include "Dlt645Identifiers.h"
#include "MessageSeam.h"
#include "SimulatedDevice.h"

#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>
#include <utility>
#include <optional>

namespace quorvane {

namespace {

// Every page: the address or identifier, then the value; the meter page
// adds the identifier's name, not edited.
enum Column { KeyColumn, ValueColumn, NameColumn };

// Each edited cell keeps the last text the tables took, so an edit that is
// refused puts it back.
constexpr int kKeptRole = Qt::UserRole;

QTableWidgetItem* TextItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setData(kKeptRole, text);
    return item;
}

// 0-65535, in decimal or with 0x in hex.
std::optional<std::uint16_t> ReadWord(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const uint value = t.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
                           ? t.mid(2).toUInt(&ok, 16)
                           : t.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::uint32_t> ReadIdentifier(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{8}$"));
    const QString t = text.trimmed();
    if (!hex.match(t).hasMatch()) {
        return std::nullopt;
    }
    return t.toUInt(nullptr, 16);
}

QString IdentifierText(std::uint32_t identifier)
{
    return QStringLiteral("%1").arg(identifier, 8, 16, QLatin1Char('0')).toUpper();
}

QString IdentifierName(std::uint32_t identifier)
{
    const auto known = FindDlt645Identifier(identifier);
    if (!known) {
        return QStringLiteral("未知标识,值按BCD数字");
    }
    QString name = QString::fromStdString(known->name);
    if (!known->unit.empty()) {
        name += QStringLiteral(" (%1)").arg(QString::fromStdString(known->unit));
    }
    return name;
}

// What the meter shows for an identifier whose data bytes are all zero.
std::string ZeroValue(std::uint32_t identifier)
{
    const auto known = FindDlt645Identifier(identifier);
    const std::vector<std::uint8_t> zeros(known ? known->bytes : 4, 0);
    return Dlt645ValueText(identifier, zeros);
}

bool MeterValueReads(std::uint32_t identifier, const std::string& value)
{
    return SimulatedDevice::TablesProblem({{}, {}, {{identifier, value}}}).empty();
}

// The identifiers 添加表项 offers on the meter page, in turn: energies,
// voltages, currents, power, power factor, frequency, date, time, address.
constexpr std::uint32_t kOfferedIdentifiers[] = {
    0x00000000, 0x00010000, 0x00020000, 0x02010100, 0x02010200, 0x02010300,
    0x02020100, 0x02020200, 0x02020300, 0x02030000, 0x02060000, 0x02800002,
    0x04000101, 0x04000102, 0x04000401};

std::uint32_t KeyOf(const RegisterEntry& e) { return e.address; }
std::uint32_t KeyOf(const CoilEntry& e) { return e.address; }
std::uint32_t KeyOf(const MeterEntry& e) { return e.identifier; }

// Sorts a table by its keys; the first key repeated, if any.
template <typename Entry>
std::optional<std::uint32_t> SortAndFindRepeat(std::vector<Entry>& entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return KeyOf(a) < KeyOf(b); });
    const auto repeat = std::adjacent_find(entries.begin(), entries.end(),
                                           [](const Entry& a, const Entry& b) {
                                               return KeyOf(a) == KeyOf(b);
                                           });
    if (repeat == entries.end()) {
        return std::nullopt;
    }
    return KeyOf(*repeat);
}

template <typename Entry>
int RowOf(const std::vector<Entry>& entries, std::uint32_t key)
{
    const auto at = std::find_if(entries.begin(), entries.end(),
                                 [key](const Entry& e) { return KeyOf(e) == key; });
    return static_cast<int>(at - entries.begin());
}

// The address after the last one, or the first one free below it.
template <typename Entry>
std::optional<std::uint16_t> FreeAddress(const std::vector<Entry>& entries)
{
    if (entries.empty()) {
        return 0;
    }
    if (KeyOf(entries.back()) < 0xFFFF) {
        return static_cast<std::uint16_t>(KeyOf(entries.back()) + 1);
    }
    std::uint32_t address = 0;
    for (const Entry& e : entries) {
        if (KeyOf(e) != address) {
            return static_cast<std::uint16_t>(address);
        }
        ++address;
    }
    return std::nullopt;
}

template <typename Entry>
void Insert(std::vector<Entry>& entries, Entry entry)
{
    entries.insert(std::upper_bound(entries.begin(), entries.end(), entry,
                                    [](const Entry& a, const Entry& b) { return KeyOf(a) < KeyOf(b); }),
                   std::move(entry));
}

template <typename Entry>
bool Holds(const std::vector<Entry>& entries, std::uint32_t key)
{
    return RowOf(entries, key) < static_cast<int>(entries.size());
}

void Refuse(const QString& problem)
{
    MessageSeam::instance().show({problem.toStdString(), "提示", MessageIcon::Warning, {}});
}

} // namespace

SimulationTables::SimulationTables(QWidget* parent, int x, int y) : QWidget(parent)
{
    setObjectName(QStringLiteral("SimulationTables"));
    setGeometry(x, y, 704, 212);
    tabTables = Place(new QTabWidget(this), QStringLiteral("tabSimulationTables"), 0, 0, 704, 180,
                      QStringLiteral("模拟从站数据"));
    const struct {
        const char* name;
        const char* title;
        const char* accessible;
        QStringList headers;
        int widths[3];
    } pages[] = {
        {"lstRegisters", "寄存器", "寄存器表", {QStringLiteral("地址"), QStringLiteral("值")},
         {110, 130, 0}},
        {"lstCoils", "线圈", "线圈表", {QStringLiteral("地址"), QStringLiteral("值")}, {110, 130, 0}},
        {"lstMeterData", "电表数据", "电表数据表",
         {QStringLiteral("数据标识"), QStringLiteral("值"), QStringLiteral("名称")},
         {110, 130, 260}},
    };
    for (int page = 0; page < PageCount; ++page) {
        const auto& p = pages[page];
        auto* table = new QTableWidget(0, static_cast<int>(p.headers.size()));
        table->setObjectName(QString::fromLatin1(p.name));
        table->setAccessibleName(QString::fromUtf8(p.accessible));
        table->setHorizontalHeaderLabels(p.headers);
        for (int column = 0; column < table->columnCount(); ++column) {
            table->setColumnWidth(column, std::max(p.widths[column],
                                                   table->horizontalHeader()->sectionSizeHint(column)));
        }
        table->horizontalHeader()->setStretchLastSection(true);
        table->verticalHeader()->hide();
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                               QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
        // Arrows move among the cells; Tab leaves the table for the next control.
        table->setTabKeyNavigation(false);
        connect(table, &QTableWidget::itemChanged, this, &SimulationTables::CellEdited);
        connect(table, &QTableWidget::itemSelectionChanged, this, &SimulationTables::updateButtons);
        tabTables->addTab(table, QString::fromUtf8(p.title));
        pages_[page] = table;
    }
    connect(tabTables, &QTabWidget::currentChanged, this, &SimulationTables::updateButtons);

    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
        void (SimulationTables::*click)();
    } buttons[] = {{&cmdAddEntry, "cmdAddEntry", "添加表项(&T)", &SimulationTables::cmdAddEntry_Click},
                   {&cmdRemoveEntry, "cmdRemoveEntry", "删除表项(&E)",
                    &SimulationTables::cmdRemoveEntry_Click},
                   {&cmdFillEntries, "cmdFillEntries", "添加 0–9(&Z)",
                    &SimulationTables::cmdFillEntries_Click}};
    int left = 0;
    for (const auto& b : buttons) {
        *b.button = MakeButton(this, QString::fromLatin1(b.name), QString::fromUtf8(b.caption), left,
                               188, 96, 24);
        connect(*b.button, &QPushButton::clicked, this, b.click);
        left += 104;
    }
    for (int page = 0; page < PageCount; ++page) {
        ShowPage(page);
    }
    updateButtons();
}

int SimulationTables::currentPage() const
{
    return tabTables->currentIndex();
}

void SimulationTables::setTables(const SimulatedTables& tables)
{
    tables_ = tables;
    for (int page = 0; page < PageCount; ++page) {
        // The row and column the user is at stay where they were.
        QTableWidget* table = pages_[page];
        const int row = table->currentRow();
        const int column = table->currentColumn();
        ShowPage(page);
        if (row >= 0 && row < table->rowCount()) {
            table->setCurrentCell(row, column);
        }
    }
    updateButtons();
}

void SimulationTables::showProtocol(int kind)
{
    const bool modbus = kind == ProtocolModbusRtu || kind == ProtocolModbusAscii;
    const bool meter = kind == ProtocolDlt645;
    tabTables->setTabEnabled(RegisterPage, !meter);
    tabTables->setTabEnabled(CoilPage, !meter);
    tabTables->setTabEnabled(MeterPage, !modbus);
    if (modbus && currentPage() == MeterPage) {
        tabTables->setCurrentIndex(RegisterPage);
    } else if (meter) {
        tabTables->setCurrentIndex(MeterPage);
    }
    updateButtons();
}

void SimulationTables::ShowPage(int page)
{
    QTableWidget* table = pages_[page];
    const QSignalBlocker quiet(table);
    table->setRowCount(0);
    const auto row = [&](const QString& key, const QString& value) {
        const int at = table->rowCount();
        table->insertRow(at);
        table->setItem(at, KeyColumn, TextItem(key));
        table->setItem(at, ValueColumn, TextItem(value));
        return at;
    };
    switch (page) {
    case RegisterPage:
        for (const RegisterEntry& e : tables_.registers) {
            row(QString::number(e.address), QString::number(e.value));
        }
        break;
    case CoilPage:
        for (const CoilEntry& e : tables_.coils) {
            row(QString::number(e.address), e.on ? QStringLiteral("1") : QStringLiteral("0"));
        }
        break;
    default:
        for (const MeterEntry& e : tables_.meter) {
            const int at = row(IdentifierText(e.identifier), QString::fromStdString(e.value));
            auto* name = new QTableWidgetItem(IdentifierName(e.identifier));
            name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            table->setItem(at, NameColumn, name);
        }
        break;
    }
}

// The page read again with the edit in it; taken only when the whole
// tables can be used.
void SimulationTables::CellEdited(QTableWidgetItem* item)
{
    if (item->column() == NameColumn) {
        return;
    }
    QTableWidget* table = item->tableWidget();
    const int page = static_cast<int>(std::find(pages_, pages_ + PageCount, table) - pages_);
    const auto text = [&](int row, int column) { return table->item(row, column)->text(); };
    SimulatedTables next = tables_;
    QString problem;
    // A meter value that does not read under the identifier newly typed is
    // put at zero, when zero reads.
    QString meterValue;
    for (int row = 0; row < table->rowCount() && problem.isEmpty(); ++row) {
        if (page == MeterPage) {
            if (row == 0) {
                next.meter.clear();
            }
            const auto identifier = ReadIdentifier(text(row, KeyColumn));
            if (!identifier) {
                problem = QStringLiteral("数据标识应为8位十六进制数字,如00010000");
                break;
            }
            std::string value = text(row, ValueColumn).trimmed().toStdString();
            if (row == item->row() && item->column() == KeyColumn &&
                !MeterValueReads(*identifier, value) && MeterValueReads(*identifier, ZeroValue(*identifier))) {
                value = ZeroValue(*identifier);
                meterValue = QString::fromStdString(value);
            }
            next.meter.push_back({*identifier, value});
            continue;
        }
        const auto address = ReadWord(text(row, KeyColumn));
        if (!address) {
            problem = QStringLiteral("地址应为0-65535之间的整数");
            break;
        }
        if (page == RegisterPage) {
            if (row == 0) {
                next.registers.clear();
            }
            const auto value = ReadWord(text(row, ValueColumn));
            if (!value) {
                problem = QStringLiteral("寄存器值应为0-65535之间的整数");
                break;
            }
            next.registers.push_back({*address, *value});
        } else {
            if (row == 0) {
                next.coils.clear();
            }
            const QString value = text(row, ValueColumn).trimmed();
            if (value != QStringLiteral("0") && value != QStringLiteral("1")) {
                problem = QStringLiteral("线圈值应为0或1");
                break;
            }
            next.coils.push_back({*address, value == QStringLiteral("1")});
        }
    }
    if (problem.isEmpty()) {
        std::optional<std::uint32_t> repeat;
        switch (page) {
        case RegisterPage:
            repeat = SortAndFindRepeat(next.registers);
            break;
        case CoilPage:
            repeat = SortAndFindRepeat(next.coils);
            break;
        default:
            repeat = SortAndFindRepeat(next.meter);
            break;
        }
        if (repeat) {
            problem = page == MeterPage ? QStringLiteral("数据标识 %1 重复").arg(IdentifierText(*repeat))
                                        : QStringLiteral("地址 %1 重复").arg(*repeat);
        } else if (page == MeterPage) {
            problem = QString::fromStdString(SimulatedDevice::TablesProblem(next));
        }
    }
    const QSignalBlocker quiet(table);
    if (!problem.isEmpty()) {
        item->setText(item->data(kKeptRole).toString());
        Refuse(problem);
        return;
    }
    const int row = item->row();
    if (!meterValue.isEmpty()) {
        table->item(row, ValueColumn)->setText(meterValue);
    }
    for (int column : {KeyColumn, ValueColumn}) {
        table->item(row, column)->setData(kKeptRole, table->item(row, column)->text());
    }
    if (page == MeterPage) {
        if (auto identifier = ReadIdentifier(text(row, KeyColumn))) {
            table->item(row, NameColumn)->setText(IdentifierName(*identifier));
        }
    }
    emit tablesEdited(std::exchange(tables_, std::move(next)));
}

void SimulationTables::Take(const SimulatedTables& next, int page, int row)
{
    const SimulatedTables before = std::exchange(tables_, next);
    ShowPage(page);
    QTableWidget* table = pages_[page];
    if (table->rowCount() > 0) {
        table->setCurrentCell(std::clamp(row, 0, table->rowCount() - 1), ValueColumn);
    }
    updateButtons();
    emit tablesEdited(before);
}

void SimulationTables::cmdAddEntry_Click()
{
    const int page = currentPage();
    SimulatedTables next = tables_;
    if (page == MeterPage) {
        for (std::uint32_t identifier : kOfferedIdentifiers) {
            const std::string zero = ZeroValue(identifier);
            if (!Holds(next.meter, identifier) && MeterValueReads(identifier, zero)) {
                Insert(next.meter, MeterEntry{identifier, zero});
                Take(next, page, RowOf(next.meter, identifier));
                return;
            }
        }
        return;
    }
    const auto address =
        page == RegisterPage ? FreeAddress(next.registers) : FreeAddress(next.coils);
    if (!address) {
        return;
    }
    if (page == RegisterPage) {
        Insert(next.registers, RegisterEntry{*address, 0});
    } else {
        Insert(next.coils, CoilEntry{*address, false});
    }
    Take(next, page, page == RegisterPage ? RowOf(next.registers, *address)
                                          : RowOf(next.coils, *address));
}

void SimulationTables::cmdRemoveEntry_Click()
{
    const int page = currentPage();
    QTableWidget* table = pages_[page];
    const int row = table->currentRow();
    if (row < 0) {
        return;
    }
    // The rows stand as shown, which after a key was edited need not be the
    // tables' order: the row's own key says which entry goes.
    const QString key = table->item(row, KeyColumn)->data(kKeptRole).toString();
    const auto erase = [](auto& entries, std::optional<std::uint32_t> key) {
        if (!key || !Holds(entries, *key)) {
            return false;
        }
        entries.erase(entries.begin() + RowOf(entries, *key));
        return true;
    };
    SimulatedTables next = tables_;
    const bool removed = page == RegisterPage ? erase(next.registers, ReadWord(key))
                         : page == CoilPage   ? erase(next.coils, ReadWord(key))
                                              : erase(next.meter, ReadIdentifier(key));
    if (removed) {
        Take(next, page, row);
    }
}

void SimulationTables::cmdFillEntries_Click()
{
    const int page = currentPage();
    if (page == MeterPage) {
        return;
    }
    SimulatedTables next = tables_;
    for (std::uint16_t address = 0; address < 10; ++address) {
        if (page == RegisterPage && !Holds(next.registers, address)) {
            Insert(next.registers, RegisterEntry{address, 0});
        } else if (page == CoilPage && !Holds(next.coils, address)) {
            Insert(next.coils, CoilEntry{address, false});
        }
    }
    Take(next, page, 0);
}

void SimulationTables::updateButtons()
{
    const int page = currentPage();
    const bool usable = tabTables->isTabEnabled(page);
    cmdAddEntry->setEnabled(usable);
    cmdRemoveEntry->setEnabled(usable && pages_[page]->currentRow() >= 0);
    cmdFillEntries->setEnabled(usable && page != MeterPage);
}

} // namespace quorvane
