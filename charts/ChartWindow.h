#pragma once

#include "ChartChoices.h"
#include "Messages.h"

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <functional>

class QAction;
class QLabel;
class QPainter;
class QSplitter;

namespace quorvane {

class ChartFeed;
class ChartPane;
class ResponsePane;
class ValuesPane;

// The window "图表": the panes 响应时间, 分布, 接收速率 and 数值 of the run,
// each switched on and off in its tool bar, redrawn at most ten times a
// second while something changed, and never while a frame waits for its
// answer (at most a second later than due). 暂停 holds what is shown, 复位 returns
// every pane to the whole run. 字段... edits the fields read from the
// replies; 导出图片... writes the panes as shown (PNG, or SVG where Qt's SVG
// module is there), 导出数据... every point as CSV. It never blocks the line:
// the feed keeps collecting whether it is open, paused or closed.
class ChartWindow : public QMainWindow {
    Q_OBJECT
public:
    using Tell = std::function<void(const Message&)>;

    ChartWindow(ChartFeed& feed, const ChartChoices& panes, Tell tell, QWidget* parent = nullptr);
    ~ChartWindow() override;

    void showAndRaise();
    // The panes shown (the fields are the feed's).
    ChartChoices panes() const;
    void showPanes(const ChartChoices& panes);

    // Draws every pane shown, now (the timer does it at most ten times a second).
    void Redraw();
    bool paused() const;

    bool ExportImage(const QString& path);
    bool ExportData(const QString& path);

    void Pause_Toggled(bool on);
    void Reset_Click();
    void Fields_Click();
    void ExportImage_Click();
    void ExportData_Click();

    ResponsePane* responsePane() const { return response_; }
    ValuesPane* valuesPane() const { return values_; }

    // Asks for a file to write (tests replace it): given the title, the
    // proposed path and the filter, the chosen path, empty when cancelled.
    std::function<QString(const QString&, const QString&, const QString&)> chooseSaveFile;
    // The port and the setup, for the title line of an exported picture.
    std::function<QString()> describeRun;

signals:
    // The user switched a pane on or off.
    void panesChanged(const ChartChoices& panes);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildToolBar();
    void Tick();
    void RunStarted();
    void PaneToggled();
    // The panes shown share the window's height evenly.
    void ShareHeight();
    void ShowStatus();
    // The line above an exported picture: port, setup, date and time, frames.
    QString ExportTitle() const;
    // The panes shown, one under the other, under the title line, and the
    // size that takes.
    void PaintExport(QPainter& painter, const QString& title) const;
    QSize ExportSize() const;
    QString ChooseFile(const QString& title, const QString& proposed, const QString& filter);

    ChartFeed& feed_;
    Tell tell_;
    ResponsePane* response_;
    ValuesPane* values_;
    std::array<ChartPane*, 4> panes_{};
    std::array<QAction*, 4> paneItems_{};
    QSplitter* splitter_;
    QLabel* status_;
    QAction* pause_ = nullptr;
    QTimer tick_;
    std::uint64_t drawn_ = ~std::uint64_t{0}; // the feed's changes last drawn
    bool viewMoved_ = false;                   // a pane was zoomed or moved since
    bool drawing_ = false;                     // a redraw is under way
    int postponed_ = 0;                        // ticks passed over while the line was busy
};

} // namespace quorvane
