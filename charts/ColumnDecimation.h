#pragma once

#include "SummedColumn.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace quorvane {

struct PlotPoint {
    double x = 0;
    double y = 0;
};

// The left edge of pixel column `column` of `columns` across x0..x1 (the
// right edge of the last is x1). A point at x lies in the column whose left
// edge is at or before it and whose next edge is past it; x1 itself lies in
// the last column.
inline double ColumnEdge(double x0, double x1, int columns, int column)
{
    return column >= columns ? x1 : x0 + (x1 - x0) * column / columns;
}

// Reduces a series to what `columns` pixel columns across x0..x1 can show:
// for each column, the point with the smallest and the point with the
// largest value among the points in it (one point when they are the same),
// in the order they were added. So every column is drawn from its true
// minimum to its true maximum, however many points fall into it; a series
// of 10^6 points gives at most two per column.
//
// A Source has size(), x(row) (never decreasing with the row), y(row) (NaN:
// no point) and wholeBlock(row, extremes), which gives the extremes of the
// RingIndex::kBlock rows from `row` at once where it knows them.
template <typename Source>
void DecimateToColumns(const Source& source, double x0, double x1, int columns,
                       std::vector<PlotPoint>& out)
{
    out.clear();
    const std::size_t n = source.size();
    if (n == 0 || columns <= 0 || !(x1 >= x0)) {
        return;
    }
    // The first row at or past x.
    const auto firstFrom = [&source](std::size_t low, std::size_t high, double x) {
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (source.x(middle) < x) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        return low;
    };
    std::size_t row = firstFrom(0, n, x0);
    const std::size_t end = firstFrom(row, n, std::nextafter(x1, HUGE_VAL)); // past x1
    for (int column = 0; column < columns && row < end; ++column) {
        const std::size_t next =
            column + 1 == columns ? end : firstFrom(row, end, ColumnEdge(x0, x1, columns, column + 1));
        BlockExtremes e;
        std::size_t minRow = 0;
        std::size_t maxRow = 0;
        const auto take = [&](double min, std::size_t minAt, double max, std::size_t maxAt) {
            if (!e.any || min < e.min) {
                e.min = min;
                minRow = minAt;
            }
            if (!e.any || max > e.max) {
                e.max = max;
                maxRow = maxAt;
            }
            e.any = true;
        };
        for (std::size_t r = row; r < next;) {
            BlockExtremes block;
            if (r + RingIndex::kBlock <= next && source.wholeBlock(r, block)) {
                if (block.any) {
                    take(block.min, r + block.minAt, block.max, r + block.maxAt);
                }
                r += RingIndex::kBlock;
                continue;
            }
            const double y = source.y(r);
            if (!std::isnan(y)) {
                take(y, r, y, r);
            }
            ++r;
        }
        if (e.any) {
            const std::size_t first = std::min(minRow, maxRow);
            const std::size_t second = std::max(minRow, maxRow);
            out.push_back({source.x(first), source.y(first)});
            if (second != first) {
                out.push_back({source.x(second), source.y(second)});
            }
        }
        row = next;
    }
}

} // namespace quorvane
