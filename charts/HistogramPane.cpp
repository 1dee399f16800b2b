#include "HistogramPane.h"

#include "ChartFeed.h"
#include "RunSummary.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>

namespace quorvane {

HistogramPane::HistogramPane()
    : ChartPane(QStringLiteral("histogramPane"), QStringLiteral("分布"),
                QStringLiteral("响应时间(ms)"), QStringLiteral("次数")),
      outline_(new QLineSeries), bars_(new QAreaSeries(outline_))
{
    outline_->setParent(bars_); // an area series does not own its line
    bars_->setName(QStringLiteral("次数"));
    bars_->setObjectName(QStringLiteral("histogramSeries"));
    bars_->setColor(QColor(0x15, 0x65, 0xc0, 0xa0));
    bars_->setBorderColor(QColor(0x15, 0x65, 0xc0));
    chart()->addSeries(bars_);
    bars_->attachAxis(xAxis());
    bars_->attachAxis(yAxis());
}

void HistogramPane::Draw(const ChartFeed& feed)
{
    const std::vector<ResponseHistogram::Bucket> buckets =
        feed.summary().ResponseTimes().Buckets();
    scratch_.clear();
    double high = 0;
    for (const ResponseHistogram::Bucket& b : buckets) {
        const double low = b.low / 10.0;
        const double top = b.high / 10.0;
        const auto count = static_cast<double>(b.count);
        if (scratch_.empty() || scratch_.back().x < low) {
            scratch_.push_back({low, 0}); // a gap before it stays on the axis
        }
        scratch_.push_back({low, count});
        scratch_.push_back({top, count});
        scratch_.push_back({top, 0});
        high = std::max(high, count);
    }
    Fill(outline_, scratch_);
    const double first = buckets.empty() ? 0 : buckets.front().low / 10.0;
    const double last = buckets.empty() ? 1 : buckets.back().high / 10.0;
    double x0 = 0;
    double x1 = 0;
    RangeToDraw(first, last, x0, x1);
    Frame(x0, x1, 0, high);
}

} // namespace quorvane
