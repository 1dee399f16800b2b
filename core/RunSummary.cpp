#include "RunSummary.h"

namespace quorvane {

namespace {

void AppendCount(std::string& out, const char* label, std::uint64_t count)
{
    if (!out.empty()) {
        out += ' ';
    }
    out += label;
    out += ' ';
    out += std::to_string(count);
}

void AppendTime(std::string& out, const char* label, ResponseHistogram::Tenths tenths)
{
    out += ' ';
    out += label;
    out += ' ';
    out += MillisecondsText(tenths);
    out += "ms";
}

} // namespace

void RunSummary::Reset()
{
    counts_ = {};
    times_.Reset();
}

void RunSummary::OnReply(std::optional<std::chrono::microseconds> responseTime)
{
    ++counts_.replies;
    if (responseTime) {
        times_.Add(*responseTime);
    }
}

std::string RunSummary::CountsText(bool checking, bool withOverflows) const
{
    std::string text;
    AppendCount(text, "发", counts_.framesWritten);
    AppendCount(text, "收", counts_.replies);
    AppendCount(text, "超时", counts_.timeouts);
    if (withOverflows) {
        AppendCount(text, "溢出", counts_.overflows);
    }
    if (checking) {
        AppendCount(text, "错", counts_.checkErrors);
    }
    return text;
}

std::string RunSummary::ShortText(bool checking) const
{
    std::string text = CountsText(checking, false);
    if (times_.Count() > 0) {
        text += " 响应 " + MillisecondsText(times_.Median()) + "/" +
                MillisecondsText(times_.Maximum()) + "ms";
    }
    return text;
}

std::string RunSummary::FullText(bool checking) const
{
    std::string text = CountsText(checking, true);
    if (times_.Count() > 0) {
        text += " 响应";
        AppendTime(text, "最小", times_.Minimum());
        AppendTime(text, "中位", times_.Median());
        AppendTime(text, "99%", times_.Percentile(0.99));
        AppendTime(text, "最大", times_.Maximum());
    }
    return text;
}

std::string MillisecondsText(ResponseHistogram::Tenths tenths)
{
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string ResponseTimeText(std::chrono::microseconds time)
{
    return "(+" + MillisecondsText(ResponseHistogram::ToTenths(time)) + "ms) ";
}

} // namespace quorvane
