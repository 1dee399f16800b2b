#pragma once

#include "ReplyField.h"

#include <vector>

namespace quorvane {

// What the user chose for the chart: the panes shown and the fields read
// from the replies. A setup holds them.
struct ChartChoices {
    bool response = true;
    bool histogram = false;
    bool throughput = false;
    bool values = true;
    std::vector<ReplyField> fields;

    bool operator==(const ChartChoices&) const = default;
};

} // namespace quorvane
