// One frame of 255 hexadecimal tokens through the core: parsed from the send
// text, built into a frame, rendered for the send view.
#include "BenchReport.h"
#include "ByteFormat.h"
#include "FrameBuilder.h"
#include "SendTextParser.h"
#include "SharedSettings.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace quorvane;
using namespace quorvane::bench;

namespace
{

SharedSettings HexSettings()
{
    SharedSettings settings;
    ApplyStartupDefaults(settings);
    settings.opt2 = 2; // hexadecimal byte string
    return settings;
}

std::string HexTokens()
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < 255; ++i) {
        if (i > 0) {
            text.push_back(' ');
        }
        text.push_back(digits[i >> 4]);
        text.push_back(digits[i & 15]);
    }
    return text;
}

ByteList Data()
{
    RangeFlags flags;
    return ParseSendText(HexTokens(), HexSettings(), flags).bytes;
}

void Parse(benchmark::State& state)
{
    const SharedSettings settings = HexSettings();
    const std::string text = HexTokens();
    for (auto _ : state) {
        RangeFlags flags;
        ByteOutcome out = ParseSendText(text, settings, flags);
        benchmark::DoNotOptimize(out);
    }
}

void Build(benchmark::State& state)
{
    const SharedSettings settings = HexSettings();
    const ByteList data = Data();
    for (auto _ : state) {
        ByteOutcome out = BuildFrame(data, settings);
        benchmark::DoNotOptimize(out);
    }
}

void Render(benchmark::State& state)
{
    const ByteList frame = BuildFrame(Data(), HexSettings()).bytes;
    for (auto _ : state) {
        std::string out = FrameText(ModeHex, frame);
        benchmark::DoNotOptimize(out);
    }
}

// All three, as a click on 刷 新 does them.
void Whole(benchmark::State& state)
{
    const SharedSettings settings = HexSettings();
    const std::string text = HexTokens();
    for (auto _ : state) {
        RangeFlags flags;
        const ByteOutcome data = ParseSendText(text, settings, flags);
        const ByteOutcome frame = BuildFrame(data.bytes, settings);
        std::string out = FrameText(ModeHex, frame.bytes);
        benchmark::DoNotOptimize(out);
    }
}

// Collects the time per iteration of every repetition, by benchmark.
class Collector : public benchmark::BenchmarkReporter
{
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times[run.run_name.function_name].add(run.GetAdjustedRealTime());
            }
        }
    }
    std::map<std::string, Samples> times;
};

} // namespace

BENCHMARK(Parse)->Name("parse")->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(Build)->Name("build")->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(Render)->Name("render")->Unit(benchmark::kMicrosecond)->Repetitions(5);
BENCHMARK(Whole)->Name("whole")->Unit(benchmark::kMicrosecond)->Repetitions(5);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (Data().size() != 255) {
        std::fprintf(stderr, "bench: the send text did not parse into 255 bytes\n");
        return 1;
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    WriteSection("5. Core: one frame of 255 hexadecimal tokens (Google Benchmark, 5 repetitions)");
    const std::pair<const char*, const char*> rows[] = {
        {"whole", "parse + build + render, one frame"},
        {"parse", "  parse (ParseSendText)"},
        {"build", "  build (BuildFrame)"},
        {"render", "  render (FrameText, hex)"}};
    for (const auto& [name, title] : rows) {
        const Samples& s = collector.times[name];
        const bool whole = std::string(name) == "whole";
        WriteRow({title, Spread(s, 2, "us"), whole ? "< 10 us" : "-", "-", "-",
                  whole ? Met(s, s.median() < 10.0) : "-"});
    }
    return 0;
}
