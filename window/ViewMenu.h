#pragma once

#include "ChartChoices.h"
#include "ChartWindow.h"
#include "ProtocolTreeWindow.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QMenuBar;
class QWidget;

namespace quorvane {

class ChartFeed;
class LineEngine;
class SessionClock;
struct DecodedReception;

// "查看(V)": 图表... (Ctrl+G) opens the chart window, built when first asked
// for. The chart's feed listens to the line engine from the start, so a run
// made before the window opens is on it too; the panes and fields chosen
// live here while the window is closed (a setup holds them).
// 解析... opens the window that shows the latest reception read by the
// protocol field by field; the latest reading is kept here from the start.
class ViewMenu : public QObject {
    Q_OBJECT
public:
    // Puts the menu into the bar before `before`.
    ViewMenu(QMenuBar* bar, QAction* before, LineEngine& engine, SessionClock& clock,
             QWidget* window);

    void Chart_Click();
    void ProtocolTree_Click();

    ChartChoices choices() const;
    // As a setup gives them: the panes, and the fields if they differ.
    void applyChoices(const ChartChoices& choices);

    ChartFeed& feed() const { return *feed_; }
    // The chart window, once opened.
    ChartWindow* chartWindow() const { return chart_; }
    // The reading window, once opened.
    ProtocolTreeWindow* protocolTreeWindow() const { return tree_; }
    // The receive view, whose selected hex bytes the reading window reads.
    void setReceiveView(QWidget* view);

    // The port and the setup, for the title line of the chart's pictures.
    std::function<QString()> describeRun;

private:
    ChartFeed* feed_;
    QWidget* window_;
    QPointer<ChartWindow> chart_;
    ChartChoices panes_; // the panes shown; the fields are the feed's
    QPointer<ProtocolTreeWindow> tree_;
    QPointer<QWidget> receiveView_;
    std::shared_ptr<const DecodedReception> latest_; // the last reception read
};

} // namespace quorvane
