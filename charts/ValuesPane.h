#pragma once

#include "ChartPane.h"

#include <vector>

class QLineSeries;

namespace quorvane {

// 数值: the values of the fields read from the replies against the time of
// the run, one series each, named with its unit.
class ValuesPane : public ChartPane {
    Q_OBJECT
public:
    ValuesPane();

    void Draw(const ChartFeed& feed) override;

    const std::vector<QLineSeries*>& series() const { return series_; }

private:
    // One series per field, named after it.
    void MatchFields(const ChartFeed& feed);

    std::vector<QLineSeries*> series_;
    std::vector<QString> names_;
};

} // namespace quorvane
