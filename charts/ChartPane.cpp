#include "ChartPane.h"

#include "ChartView.h"

#include <QChart>
#include <QFont>
#include <QLegend>
#include <QList>
#include <QPointF>
#include <QValueAxis>
#include <QXYSeries>
#include <algorithm>
#include <cmath>

namespace quorvane {

namespace {

// The next of 1, 2, 5 times a power of ten at or above `span`: axes that
// grow in such steps keep their labels for many redraws.
double NiceStep(double span)
{
    const double power = std::pow(10.0, std::floor(std::log10(span)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= span) {
            return m * power;
        }
    }
    return 10 * power;
}

} // namespace

ChartPane::ChartPane(const QString& name, const QString& title, const QString& xTitle,
                     const QString& yTitle)
    : chart_(new QChart), x_(new QValueAxis), y_(new QValueAxis)
{
    setObjectName(name);
    chart_->setTitle(title);
    // The legend beside the plot, not above it: four panes fit a 768
    // pixels high screen with room for their axes.
    chart_->legend()->setAlignment(Qt::AlignRight);
    QFont small = chart_->titleFont();
    if (small.pointSizeF() > 0) {
        small.setPointSizeF(small.pointSizeF() * 0.9);
    }
    chart_->setTitleFont(small);
    chart_->legend()->setFont(small);
    // Drawn afresh ten times a second: no animation to wait for.
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    x_->setTitleText(xTitle);
    y_->setTitleText(yTitle);
    x_->setLabelFormat(QStringLiteral("%.10g"));
    // The axis keeps room for its title beside labels at least as wide as
    // "..."; narrower ones ("0", "1") would squeeze the title to "...":
    // two fixed blanks before each number keep them that wide.
    y_->setLabelFormat(QStringLiteral("&nbsp;&nbsp;%.6g"));
    chart_->addAxis(x_, Qt::AlignBottom);
    chart_->addAxis(y_, Qt::AlignLeft);
    view_ = new ChartView(chart_, x_, y_);
    view_->setObjectName(name + QStringLiteral("View"));
    view_->setAccessibleName(title);
    view_->setMinimumHeight(140);
    setParent(view_); // the view owns the chart and its series, and the pane
}

void ChartPane::KeepWholeNumbersOnX()
{
    // Frames are counted: however the user zooms, the ticks stay on whole
    // frame numbers.
    x_->setTickType(QValueAxis::TicksDynamic);
    const auto placeTicks = [axis = x_](qreal min, qreal max) {
        axis->setTickAnchor(std::ceil(min));
        axis->setTickInterval(std::max(1.0, NiceStep(std::max(max - min, 1.0) / 6)));
    };
    QObject::connect(x_, &QValueAxis::rangeChanged, x_, placeTicks);
    placeTicks(x_->min(), x_->max());
}

int ChartPane::Columns() const
{
    // Before its first layout the plot has no area yet: the view's width then.
    const double plot = chart_->plotArea().width();
    const double width = (plot > 0 ? plot : view_->width()) * view_->devicePixelRatioF();
    return std::max(1, static_cast<int>(std::lround(width)));
}

void ChartPane::RangeToDraw(double first, double last, double& x0, double& x1) const
{
    if (view_->following()) {
        // From the run's start (unless older points were dropped), to its
        // end rounded up: the axis grows in steps, not with each point.
        x0 = first <= (last - first) ? std::min(first, 0.0) : first;
        x1 = x0 + NiceStep(std::max(last - x0, 1.0) * 1.05);
    } else {
        x0 = x_->min();
        x1 = x_->max();
    }
}

void ChartPane::Frame(double x0, double x1, double low, double high)
{
    if (!view_->following()) {
        return;
    }
    if (!(high > low)) {
        // Nothing yet, or one value: a count or a time still starts at 0.
        const bool counting = low >= 0;
        low -= 1;
        high += 1;
        if (counting) {
            low = std::max(low, 0.0);
        }
    }
    const double room = (high - low) * 0.05;
    // A count or a time stays on its axis.
    low = low >= 0 && low - room < 0 ? 0 : low - room;
    view_->ShowRange(x0, x1, low, high + room);
}

void ChartPane::Attach(QXYSeries* series)
{
    chart_->addSeries(series);
    series->attachAxis(x_);
    series->attachAxis(y_);
}

void ChartPane::Fill(QXYSeries* series, const std::vector<PlotPoint>& points)
{
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(points.size()));
    for (const PlotPoint& p : points) {
        list.append(QPointF(p.x, p.y));
    }
    series->replace(list);
}

} // namespace quorvane
