#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace quorvane::bench
{

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Repeated measurements of one figure.
struct Samples {
    std::vector<double> values;

    void add(double v) { values.push_back(v); }
    bool empty() const { return values.empty(); }
    double median() const;
    double min() const;
    double max() const;
};

// "12.3 [11.9..13.0] ms": the median and the spread, with `digits` decimals.
std::string Spread(const Samples& s, int digits, const std::string& unit);
std::string Fixed(double v, int digits);

// One row of the final table. Every program appends its rows to the file
// named by QUORVANE_BENCH_ROWS (standard output when unset); scripts/run-bench
// prints them all as one table.
struct Row {
    std::string figure;   // what is measured
    std::string value;    // median [min..max] unit
    std::string goal;     // the goal, or "-"
    std::string baseline; // the same for QPlainTextEdit, or "-"
    std::string ratio;    // baseline / ours where it applies, or "-"
    std::string met;      // "yes", "NO" or "-"
};

void WriteRow(const Row& row);
// A heading line that groups the rows below it.
void WriteSection(const std::string& title);

// Resident memory of this process in bytes (/proc/self/statm).
std::size_t ResidentBytes();
// Gives freed heap back to the system so that resident memory counts what
// is held.
void TrimHeap();

std::string Yes(bool met);

} // namespace quorvane::bench
