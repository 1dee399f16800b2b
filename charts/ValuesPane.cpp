#include "ValuesPane.h"

#include "ChartFeed.h"

#include <QChart>
#include <QLineSeries>
#include <algorithm>
#include <cmath>

namespace quorvane {

namespace {

// Until a field is defined the pane says how to define one.
const QString kNoFields = QStringLiteral("数值 (尚无字段: 用工具栏的 字段... 定义)");

QString SeriesName(const ReplyField& field)
{
    const QString name = QString::fromStdString(field.name);
    return field.unit.empty() ? name
                              : QStringLiteral("%1 (%2)").arg(name, QString::fromStdString(field.unit));
}

} // namespace

ValuesPane::ValuesPane()
    : ChartPane(QStringLiteral("valuesPane"), QStringLiteral("数值"), QStringLiteral("时间(s)"),
                QStringLiteral("值"))
{
    chart()->setTitle(kNoFields);
}

void ValuesPane::MatchFields(const ChartFeed& feed)
{
    std::vector<QString> names;
    for (const ReplyField& field : feed.fields()) {
        names.push_back(SeriesName(field));
    }
    if (names == names_) {
        return;
    }
    for (QLineSeries* series : series_) {
        chart()->removeSeries(series);
        delete series;
    }
    series_.clear();
    for (std::size_t f = 0; f < names.size(); ++f) {
        auto* series = new QLineSeries;
        series->setName(names[f]);
        series->setObjectName(QStringLiteral("valueSeries_%1").arg(f));
        Attach(series);
        series_.push_back(series);
    }
    chart()->setTitle(names.empty() ? kNoFields : QStringLiteral("数值"));
    names_ = std::move(names);
}

void ValuesPane::Draw(const ChartFeed& feed)
{
    MatchFields(feed);
    const RunPoints& points = feed.points();
    const std::size_t rows = points.receptionCount();
    const double first = rows > 0 ? points.reception(0).timeMs / 1000.0 : 0;
    const double last = rows > 0 ? points.reception(rows - 1).timeMs / 1000.0 : 1;
    double x0 = 0;
    double x1 = 0;
    RangeToDraw(first, last, x0, x1);
    const int columns = Columns();
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    for (std::size_t f = 0; f < series_.size() && f < points.fieldCount(); ++f) {
        DecimateToColumns(points.valueSeries(f), x0, x1, columns, scratch_);
        for (const PlotPoint& p : scratch_) {
            low = std::min(low, p.y);
            high = std::max(high, p.y);
        }
        Fill(series_[f], scratch_);
    }
    if (low > high) {
        low = 0;
        high = 1;
    }
    Frame(x0, x1, low, high);
}

} // namespace quorvane
