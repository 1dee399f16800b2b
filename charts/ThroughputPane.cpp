#include "ThroughputPane.h"

#include "ChartFeed.h"

#include <QLineSeries>
#include <algorithm>

namespace quorvane {

ThroughputPane::ThroughputPane()
    : ChartPane(QStringLiteral("throughputPane"), QStringLiteral("接收速率"),
                QStringLiteral("时间(s)"), QStringLiteral("字节/秒")),
      rate_(new QLineSeries)
{
    rate_->setName(QStringLiteral("接收速率"));
    rate_->setObjectName(QStringLiteral("throughputSeries"));
    Attach(rate_);
}

void ThroughputPane::Draw(const ChartFeed& feed)
{
    const SeriesSource seconds = feed.points().throughputSeries();
    const double first = seconds.size() > 0 ? seconds.x(0) : 0;
    const double last = seconds.size() > 0 ? seconds.x(seconds.size() - 1) : 1;
    double x0 = 0;
    double x1 = 0;
    RangeToDraw(first, last, x0, x1);
    DecimateToColumns(seconds, x0, x1, Columns(), scratch_);
    double high = 0;
    for (const PlotPoint& p : scratch_) {
        high = std::max(high, p.y);
    }
    Fill(rate_, scratch_);
    Frame(x0, x1, 0, high);
}

} // namespace quorvane
