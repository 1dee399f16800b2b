#pragma once

#include "ChartPane.h"

class QLineSeries;
class QScatterSeries;

namespace quorvane {

// 响应时间: the response time of each frame (ms) against its number in the
// run, time-outs as points on the axis in red, and the run summary's median
// and 99th percentile as lines across.
class ResponsePane : public ChartPane {
    Q_OBJECT
public:
    ResponsePane();

    void Draw(const ChartFeed& feed) override;

    QLineSeries* responses() const { return responses_; }
    QScatterSeries* timeouts() const { return timeouts_; }

private:
    QLineSeries* responses_;
    QScatterSeries* timeouts_;
    QLineSeries* median_;
    QLineSeries* p99_;
};

} // namespace quorvane
