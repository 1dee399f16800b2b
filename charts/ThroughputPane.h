#pragma once

#include "ChartPane.h"

class QLineSeries;

namespace quorvane {

// 接收速率: the bytes received in each second of the run.
class ThroughputPane : public ChartPane {
    Q_OBJECT
public:
    ThroughputPane();

    void Draw(const ChartFeed& feed) override;

private:
    QLineSeries* rate_;
};

} // namespace quorvane
