#include "RunSummary.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

TEST(RunSummary, TextsCountEveryOutcome)
{
    RunSummary run;
    EXPECT_EQ(run.ShortText(false), "发 0 收 0 超时 0");
    for (int i = 0; i < 4; ++i) {
        run.OnFrameWritten();
    }
    run.OnReply(8100us);
    run.OnReply(15'660us);
    run.OnReply(5'000us);
    run.OnReply();
    run.OnTimeout();
    run.OnOverflow();
    run.OnCheckError();
    EXPECT_EQ(run.ShortText(false), "发 4 收 4 超时 1 响应 8.1/15.7ms");
    EXPECT_EQ(run.ShortText(true), "发 4 收 4 超时 1 错 1 响应 8.1/15.7ms");
    EXPECT_EQ(run.FullText(true), "发 4 收 4 超时 1 溢出 1 错 1 响应 最小 5.0ms 中位 8.1ms "
                                  "99% 15.7ms 最大 15.7ms");
    run.Reset();
    EXPECT_EQ(run.FullText(false), "发 0 收 0 超时 0 溢出 0");
}

// Exact to a tenth of a millisecond at the low end, within 1/256 above,
// and the extremes always exact.
TEST(RunSummary, HistogramKeepsStatisticsCloseInFixedMemory)
{
    ResponseHistogram h;
    for (int i = 1; i <= 1000; ++i) {
        h.Add(std::chrono::microseconds(i * 1000)); // 1 ms to 1 s
    }
    EXPECT_EQ(h.Minimum(), 10u);
    EXPECT_EQ(h.Maximum(), 10000u);
    EXPECT_NEAR(h.Median(), 5000.0, 5000.0 / 256);
    EXPECT_NEAR(h.Percentile(0.99), 9900.0, 9900.0 / 256);
    h.Add(-5ms);
    h.Add(1000s);
    EXPECT_EQ(h.Minimum(), 0u);
    EXPECT_EQ(h.Maximum(), ResponseHistogram::largest);
    EXPECT_EQ(ResponseTimeText(8'349us), "(+8.3ms) ");
    EXPECT_EQ(ResponseTimeText(8'350us), "(+8.4ms) ");
    EXPECT_EQ(ResponseTimeText(1'234'567us), "(+1234.6ms) ");
}

} // namespace
