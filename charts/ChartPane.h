#pragma once

#include "ColumnDecimation.h"

#include <QObject>
#include <QString>
#include <vector>

class QChart;
class QValueAxis;
class QXYSeries;

namespace quorvane {

class ChartFeed;
class ChartView;

// One pane of the chart window: a chart with an x and a y axis, drawn from
// the run's points. Each kind of pane draws its own series; all share the
// view (zoom, pan, following) and the reduction of a series to the pixel
// columns the plot has. The pane belongs to its view: whoever holds the view
// (the window's splitter) holds the pane.
class ChartPane : public QObject {
    Q_OBJECT
public:
    ChartPane(const QString& name, const QString& title, const QString& xTitle,
              const QString& yTitle);

    ChartView* view() const { return view_; }
    QChart* chart() const { return chart_; }
    QValueAxis* xAxis() const { return x_; }
    QValueAxis* yAxis() const { return y_; }

    // Draws what the run holds now, over the whole run while the view
    // follows it, else over the x range the user chose.
    virtual void Draw(const ChartFeed& feed) = 0;

protected:
    // The pixel columns across the plot, in device pixels.
    int Columns() const;
    // The x range to draw: the user's, or (following) first..last.
    void RangeToDraw(double first, double last, double& x0, double& x1) const;
    // While following: the axes to show x0..x1 and the values low..high, a
    // little room above and below.
    void Frame(double x0, double x1, double low, double high);
    // Ticks on whole numbers of the x axis only (frame numbers).
    void KeepWholeNumbersOnX();
    // Adds a series to the chart on the pane's axes.
    void Attach(QXYSeries* series);
    // Gives a series the reduced points.
    static void Fill(QXYSeries* series, const std::vector<PlotPoint>& points);

    std::vector<PlotPoint> scratch_; // the reduced points of one series

private:
    QChart* chart_;
    QValueAxis* x_;
    QValueAxis* y_;
    ChartView* view_;
};

} // namespace quorvane
