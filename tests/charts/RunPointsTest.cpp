// A run's points: the tables keep their last rows, and a series reduced to
// pixel columns draws each column from the true minimum to the true maximum
// of the points in it.
#include "ColumnDecimation.h"
#include "RunPoints.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace quorvane;

namespace {

// The column of x as the reduction puts it: its left edge at or before x,
// the next edge past it (x1 in the last).
int ColumnOf(double x, double x0, double x1, int columns)
{
    for (int c = 0; c < columns; ++c) {
        if (x >= ColumnEdge(x0, x1, columns, c) &&
            (x < ColumnEdge(x0, x1, columns, c + 1) || (c + 1 == columns && x <= x1))) {
            return c;
        }
    }
    return -1;
}

// Every column the points of `series` fall in shows their minimum and maximum,
// each at a point of the series, and nothing else.
void ExpectTrueExtremes(const SeriesSource& series, double x0, double x1, int columns)
{
    std::map<int, std::pair<double, double>> extremes;
    std::multimap<double, double> points; // x -> y
    for (std::size_t row = 0; row < series.size(); ++row) {
        const double x = series.x(row);
        const double y = series.y(row);
        const int c = ColumnOf(x, x0, x1, columns);
        if (std::isnan(y) || c < 0) {
            continue;
        }
        points.emplace(x, y);
        auto [it, fresh] = extremes.try_emplace(c, y, y);
        it->second = {std::min(it->second.first, y), std::max(it->second.second, y)};
    }
    std::vector<PlotPoint> drawn;
    DecimateToColumns(series, x0, x1, columns, drawn);
    std::map<int, std::vector<double>> shown;
    for (const PlotPoint& p : drawn) {
        const auto [from, to] = points.equal_range(p.x);
        EXPECT_TRUE(std::any_of(from, to, [&p](const auto& q) { return q.second == p.y; }))
            << "not a point of the series: " << p.x << " " << p.y;
        shown[ColumnOf(p.x, x0, x1, columns)].push_back(p.y);
    }
    ASSERT_EQ(shown.size(), extremes.size()) << columns << " columns over " << x0 << ".." << x1;
    for (const auto& [column, minMax] : extremes) {
        const std::vector<double>& ys = shown[column];
        const std::vector<double> expected = minMax.first == minMax.second
                                                 ? std::vector<double>{minMax.first}
                                                 : std::vector<double>{minMax.first, minMax.second};
        std::vector<double> sorted = ys;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, expected) << "column " << column << " of " << columns;
    }
}

TEST(RunPoints, ReductionKeepsEachColumnsExtremes)
{
    // 640 rows kept of 2000: the tables wrap, and blocks of rows are read
    // from their kept extremes as well as row by row.
    RunPoints run(640);
    run.Start(1);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1000, 1000);
    for (std::uint32_t i = 1; i <= 2000; ++i) {
        RunPoints::Reception r;
        r.timeMs = i * 3;
        r.frame = i % 10 == 0 ? 0 : i;
        if (i % 7 != 0) {
            r.responseMs = value(random) + 1000;
        }
        if (i % 5 != 0) {
            r.values[0] = std::round(value(random)); // ties between rows, too
        }
        run.AddReception(r);
        run.AddBytes(i * 3, i % 97);
    }
    run.Settle(7000);
    EXPECT_EQ(run.receptionCount(), 640u);
    EXPECT_EQ(run.reception(0).timeMs, 1361u * 3) << "the oldest rows are dropped";
    EXPECT_EQ(run.missing(0), 400u);

    const SeriesSource values = run.valueSeries(0);
    const double first = values.x(0);
    const double last = values.x(values.size() - 1);
    for (int columns : {1, 7, 64, 300, 5000}) {
        ExpectTrueExtremes(values, first, last, columns);
        ExpectTrueExtremes(values, first + 0.3, first + 0.9, columns); // zoomed in
    }
    const SeriesSource responses = run.responseSeries();
    ExpectTrueExtremes(responses, responses.x(0), responses.x(responses.size() - 1), 50);
    ExpectTrueExtremes(run.throughputSeries(), 0, 7, 3);
}

TEST(RunPoints, TimeoutsAndQuietSecondsAndANewRun)
{
    RunPoints run;
    run.Start(0);
    run.AddBytes(100, 10);
    run.AddBytes(900, 5);
    run.AddBytes(4500, 1); // seconds 1 to 3 were quiet
    run.AddTimeout({200, 1});
    run.AddTimeout({300, 2});
    const SeriesSource seconds = run.throughputSeries();
    ASSERT_EQ(seconds.size(), 3u);
    EXPECT_EQ(std::vector<double>({seconds.x(0), seconds.y(0), seconds.x(1), seconds.y(1),
                                   seconds.x(2), seconds.y(2)}),
              std::vector<double>({0, 15, 1, 0, 3, 0}));
    std::vector<PlotPoint> drawn;
    DecimateToColumns(run.timeoutSeries(), 1, 2, 1, drawn);
    EXPECT_EQ(drawn.size(), 1u) << "two time-outs at 0 in one column: one point";

    const std::uint64_t before = run.changes();
    run.Start(2);
    EXPECT_GT(run.changes(), before);
    EXPECT_EQ(run.timeoutCount(), 0u);
    EXPECT_EQ(run.throughputSeries().size(), 0u);
    EXPECT_EQ(run.fieldCount(), 2u);
}

} // namespace
