#pragma once

#include "ChartChoices.h"
#include "ChartWindow.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QMenuBar;
class QWidget;

namespace quorvane {

class ChartFeed;
class LineEngine;
class SessionClock;

// "查看(V)": 图表... (Ctrl+G) opens the chart window, built when first asked
// for. The chart's feed listens to the line engine from the start, so a run
// made before the window opens is on it too; the panes and fields chosen
// live here while the window is closed (a setup holds them).
class ViewMenu : public QObject {
    Q_OBJECT
public:
    // Puts the menu into the bar before `before`.
    ViewMenu(QMenuBar* bar, QAction* before, LineEngine& engine, SessionClock& clock,
             QWidget* window);

    void Chart_Click();

    ChartChoices choices() const;
    // As a setup gives them: the panes, and the fields if they differ.
    void applyChoices(const ChartChoices& choices);

    ChartFeed& feed() const { return *feed_; }
    // The chart window, once opened.
    ChartWindow* chartWindow() const { return chart_; }

    // The port and the setup, for the title line of the chart's pictures.
    std::function<QString()> describeRun;

private:
    ChartFeed* feed_;
    QWidget* window_;
    QPointer<ChartWindow> chart_;
    ChartChoices panes_; // the panes shown; the fields are the feed's
};

} // namespace quorvane
