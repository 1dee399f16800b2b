#include "ResponsePane.h"

#include "ChartFeed.h"
#include "RunSummary.h"

#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <algorithm>

namespace quorvane {

namespace {

QLineSeries* Level(const QString& name, const QColor& colour)
{
    auto* line = new QLineSeries;
    line->setName(name);
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    line->setPen(pen);
    return line;
}

double Ms(ResponseHistogram::Tenths tenths)
{
    return tenths / 10.0;
}

} // namespace

ResponsePane::ResponsePane()
    : ChartPane(QStringLiteral("responsePane"), QStringLiteral("响应时间"), QStringLiteral("帧号"),
                QStringLiteral("毫秒")),
      responses_(new QLineSeries), timeouts_(new QScatterSeries),
      median_(Level(QStringLiteral("中位数"), QColor(0x2e, 0x7d, 0x32))),
      p99_(Level(QStringLiteral("99%"), QColor(0xef, 0x6c, 0x00)))
{
    responses_->setName(QStringLiteral("响应时间"));
    responses_->setObjectName(QStringLiteral("responseSeries"));
    responses_->setColor(QColor(0x15, 0x65, 0xc0));
    timeouts_->setName(QStringLiteral("超时"));
    timeouts_->setObjectName(QStringLiteral("timeoutSeries"));
    timeouts_->setColor(QColor(0xc6, 0x28, 0x28));
    timeouts_->setBorderColor(QColor(0xc6, 0x28, 0x28));
    timeouts_->setMarkerSize(7);
    // The levels first, so that the responses are drawn over them.
    for (QXYSeries* series : {static_cast<QXYSeries*>(median_), static_cast<QXYSeries*>(p99_),
                              static_cast<QXYSeries*>(responses_), static_cast<QXYSeries*>(timeouts_)}) {
        Attach(series);
    }
    KeepWholeNumbersOnX();
}

void ResponsePane::Draw(const ChartFeed& feed)
{
    const RunPoints& points = feed.points();
    const SeriesSource responses = points.responseSeries();
    const SeriesSource timeouts = points.timeoutSeries();
    double first = 1;
    double last = 1;
    for (const SeriesSource* s : {&responses, &timeouts}) {
        if (s->size() > 0) {
            first = std::min(first, s->x(0));
            last = std::max(last, s->x(s->size() - 1));
        }
    }
    double x0 = 0;
    double x1 = 0;
    RangeToDraw(first, last, x0, x1);
    const int columns = Columns();

    double high = 0;
    DecimateToColumns(responses, x0, x1, columns, scratch_);
    for (const PlotPoint& p : scratch_) {
        high = std::max(high, p.y);
    }
    Fill(responses_, scratch_);
    DecimateToColumns(timeouts, x0, x1, columns, scratch_);
    Fill(timeouts_, scratch_);

    const ResponseHistogram& times = feed.summary().ResponseTimes();
    const bool timed = times.Count() > 0;
    const double median = Ms(times.Median());
    const double p99 = Ms(times.Percentile(0.99));
    median_->setName(timed ? QStringLiteral("中位数 %1ms").arg(median) : QStringLiteral("中位数"));
    p99_->setName(timed ? QStringLiteral("99% %1ms").arg(p99) : QStringLiteral("99%"));
    scratch_.clear();
    if (timed) {
        scratch_ = {{x0, median}, {x1, median}};
    }
    Fill(median_, scratch_);
    if (timed) {
        scratch_ = {{x0, p99}, {x1, p99}};
    }
    Fill(p99_, scratch_);
    Frame(x0, x1, 0, std::max(high, timed ? p99 : 0.0));
}

} // namespace quorvane
