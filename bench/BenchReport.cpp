#include "BenchReport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <malloc.h>
#include <unistd.h>

namespace quorvane::bench
{

double Samples::median() const
{
    if (values.empty()) {
        return 0;
    }
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

double Samples::min() const
{
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double Samples::max() const
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

std::string Fixed(double v, int digits)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

std::string RunsText(std::size_t runs)
{
    return "(" + std::to_string(runs) + (runs == 1 ? " run)" : " runs)");
}

std::string Spread(const Samples& s, int digits, const std::string& unit)
{
    if (!s.failure.empty()) {
        return "could not run: " + s.failure;
    }
    if (s.empty()) {
        return "could not run";
    }
    const std::string tail = (unit.empty() ? "" : " " + unit) + " " + RunsText(s.runs());
    if (s.runs() == 1) {
        return Fixed(s.values.front(), digits) + tail;
    }
    return Fixed(s.median(), digits) + " [" + Fixed(s.min(), digits) + ".." +
           Fixed(s.max(), digits) + "]" + tail;
}

Samples Once(double v)
{
    Samples s;
    s.add(v);
    return s;
}

namespace
{

void WriteLine(const std::string& line)
{
    const char* path = std::getenv("QUORVANE_BENCH_ROWS");
    if (path == nullptr || *path == '\0') {
        std::cout << line << '\n';
        return;
    }
    std::ofstream out(path, std::ios::app);
    out << line << '\n';
}

} // namespace

void WriteRow(const Row& row)
{
    WriteLine(row.figure + '\t' + row.value + '\t' + row.goal + '\t' + row.baseline + '\t' +
              row.ratio + '\t' + row.met);
}

void WriteSection(const std::string& title)
{
    WriteLine("#\t" + title);
}

std::size_t ResidentBytes()
{
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) {
        return 0;
    }
    unsigned long size = 0;
    unsigned long resident = 0;
    const int read = std::fscanf(f, "%lu %lu", &size, &resident);
    std::fclose(f);
    if (read != 2) {
        return 0;
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

void TrimHeap()
{
    malloc_trim(0);
}

std::string Yes(bool met)
{
    return met ? "yes" : "NO";
}

std::string Met(const Samples& s, bool met)
{
    return s.ran() ? Yes(met) : "-";
}

} // namespace quorvane::bench
