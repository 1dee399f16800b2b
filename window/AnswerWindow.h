#pragma once

#include "AnswerRule.h"
#include "ProtocolChoice.h"

#include <QDialog>
#include <QTimer>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace quorvane {

class AutoAnswer;
class SimulationTables;

// "自动应答": the rules that answer the device's master, and the switch
// "启用自动应答" (off at start). Each row: 启用, 名称, 收到 (how: 字节 or
// 校验正确的帧, and what: a pattern or a command byte), 回复 (how: 字节 or
// 按帧格式, and what: hex bytes or a data area, "$n" copying the request's
// n-th byte), 延时(ms) and 已应答 (the answers it has given). The first
// enabled rule that matches a reception answers it. An edit that cannot be
// read, or whose reply its own pattern would match, is refused with the
// reason. A pause (too many answers, answers echoed back) is told under the
// table until 启用自动应答 is ticked again.
// Under them, "模拟从站": ticked under a protocol (配置 → 协议), the
// protocol's device answers every request from the tables below instead of
// the rules, while 启用自动应答 is on; what masters write shows in the tables
// as it happens. Under the frame format it cannot be ticked. Modeless;
// closing only hides it.
class AnswerWindow : public QDialog {
    Q_OBJECT
public:
    AnswerWindow(AutoAnswer& answers, QWidget* parent);

    void showAndRaise();
    std::vector<AnswerRule> rules() const;
    bool answering() const;
    // As a setup holds them.
    void setRules(const std::vector<AnswerRule>& rules, bool enabled);
    // 模拟从站 ticked, and its tables as shown.
    bool simulating() const;
    SimulatedTables tables() const;
    // As a setup holds them; tables that cannot be used are refused with
    // the reason and nothing changes.
    void setSimulation(bool on, const SimulatedTables& tables);
    // The protocol in force changed: 模拟从站 and its pages follow it.
    void ProtocolChanged();

    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdUp_Click();
    void cmdDown_Click();

private:
    void FitColumns();
    void ShowPause(const QString& note);
    void addRow(const AnswerRule& rule);
    int selectedRow() const;
    void moveSelected(int by);
    void CellEdited(QTableWidgetItem* item);
    void ApplyRules();
    void ShowCounts();
    void updateButtons();
    void ApplySimulation();
    void TablesEdited(const SimulatedTables& before);

    AutoAnswer& answers_;
    QCheckBox* chkEnable = nullptr;
    QTableWidget* lstRules = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QLabel* lblPause = nullptr;
    QCheckBox* chkSimulate = nullptr;
    QLabel* lblSimulation = nullptr;
    SimulationTables* simTables = nullptr;
    QTimer countsDue_;
    QTimer tablesDue_; // the tables shown again after masters wrote
    bool shownBefore_ = false;
};

} // namespace quorvane
