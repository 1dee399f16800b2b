#pragma once

#include "ChartPane.h"

class QAreaSeries;
class QLineSeries;

namespace quorvane {

// 分布: how many responses took how long, bucket by bucket as the run
// summary counts them (a tenth of a millisecond wide up to 25.5 ms, then
// 1/128 of each doubling).
class HistogramPane : public ChartPane {
    Q_OBJECT
public:
    HistogramPane();

    void Draw(const ChartFeed& feed) override;

private:
    QLineSeries* outline_; // the bars' tops, as steps
    QAreaSeries* bars_;
};

} // namespace quorvane
