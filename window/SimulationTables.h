#pragma once

#include "ProtocolChoice.h"

#include <QWidget>

class QPushButton;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;

namespace quorvane {

// The tables 模拟从站 answers from, one page each: "寄存器" (地址, 值, each
// 0-65535, decimal or 0x hex), "线圈" (地址, 值 0 or 1) and "电表数据"
// (数据标识 as 8 hex digits, its name and unit, 值 as the meter shows it).
// Under Modbus the register and coil pages take edits, under DL/T 645 the
// meter page. An edit that cannot be read, repeats an address or an
// identifier, or whose meter value does not read in its identifier's format
// is refused with the reason and the cell keeps its text. 添加表项 adds the
// next free address (under 电表数据 the next identifier the tool knows, at
// zero), 删除表项 removes the selected row, 添加 0–9 fills addresses 0 to 9.
class SimulationTables : public QWidget {
    Q_OBJECT
public:
    // Placed in its parent at x, y; 704 by 212 pixels.
    SimulationTables(QWidget* parent, int x, int y);

    // The tables as shown, sorted by address and identifier.
    const SimulatedTables& tables() const { return tables_; }
    // Shows tables (usable ones: sorted, no repeats), as a setup holds them
    // or as the masters wrote them. No signal.
    void setTables(const SimulatedTables& tables);
    // The pages that apply to a protocol (all while none is chosen).
    void showProtocol(int kind);

    void cmdAddEntry_Click();
    void cmdRemoveEntry_Click();
    void cmdFillEntries_Click();

signals:
    // The user changed the tables (an edit taken, a row added or removed).
    // The user changed the tables; `before`: as they were shown until then.
    void tablesEdited(const SimulatedTables& before);

private:
    enum Page { RegisterPage, CoilPage, MeterPage, PageCount };

    int currentPage() const;
    void ShowPage(int page);
    void CellEdited(QTableWidgetItem* item);
    // Shows and keeps tables the user made, at `row` of `page`.
    void Take(const SimulatedTables& next, int page, int row);
    void updateButtons();

    QTabWidget* tabTables = nullptr;
    QTableWidget* pages_[PageCount] = {};
    QPushButton* cmdAddEntry = nullptr;
    QPushButton* cmdRemoveEntry = nullptr;
    QPushButton* cmdFillEntries = nullptr;
    SimulatedTables tables_;
};

} // namespace quorvane
