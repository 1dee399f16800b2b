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

// Repeated measurements of one figure, and why a run gave none.
struct Samples {
    std::vector<double> values;
    std::string failure; // the first run's reason; empty while every run finished

    void add(double v) { values.push_back(v); }
    // A run's figure, or why it gave none.
    void add(double v, const std::string& why)
    {
        if (why.empty()) {
            add(v);
        } else {
            fail(why);
        }
    }
    // A run whose work did not finish: the row shows the reason, no figure.
    void fail(const std::string& why)
    {
        if (failure.empty()) {
            failure = why;
        }
    }
    bool empty() const { return values.empty(); }
    // Every run finished and gave a figure.
    bool ran() const { return !values.empty() && failure.empty(); }
    std::size_t runs() const { return values.size(); }
    double median() const;
    double min() const;
    double max() const;
};

// "12.3 [11.9..13.0] ms (5 runs)": the median and the spread, with `digits`
// decimals; "12.3 ms (1 run)"; "could not run: why" when a run failed.
std::string Spread(const Samples& s, int digits, const std::string& unit);
// One run's figure as a row's value.
Samples Once(double v);
std::string RunsText(std::size_t runs);
std::string Fixed(double v, int digits);

// One row of the final table. Every program appends its rows to the file
// named by QUORVANE_BENCH_ROWS (standard output when unset); scripts/run-bench
// prints them all as one table.
struct Row {
    std::string figure;   // what is measured
    std::string value;    // median [min..max] unit (runs), or "could not run: why"
    std::string goal;     // the goal, or "-"; never a note
    std::string baseline; // the same for QPlainTextEdit, measured in this run, or "-"
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
// Whether the goal is met, or "-" when the figure could not be measured.
std::string Met(const Samples& s, bool met);

} // namespace quorvane::bench
