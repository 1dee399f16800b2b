#include "ReplyExpectation.h"

namespace quorvane {

std::string ExpectationProblem(const ReplyExpectation& expectation)
{
    if (expectation.kind != ExpectKind::Bytes) {
        return {};
    }
    std::string problem;
    return BytePattern::Parse(expectation.pattern, problem) ? std::string() : problem;
}

std::string StepVerdictText(const StepVerdict& verdict)
{
    return verdict.passed ? " [通过]" : " [失败 " + verdict.reason + "]";
}

ReceptionJudge::ReceptionJudge(const ReplyExpectation& expectation, const SharedSettings& settings)
    : kind_(expectation.kind)
{
    if (kind_ == ExpectKind::Bytes) {
        std::string problem;
        pattern_ = BytePattern::Parse(expectation.pattern, problem);
        if (!pattern_) {
            kind_ = ExpectKind::None; // refused before it came here
        }
    } else if (kind_ == ExpectKind::CheckedFrame) {
        checker_.emplace(settings);
    }
}

void ReceptionJudge::Add(std::span<const std::uint8_t> bytes)
{
    const std::size_t keep = (pattern_ ? pattern_->length() : 0) + kShown + 1;
    if (head_.size() < keep) {
        const std::size_t taken = std::min(keep - head_.size(), bytes.size());
        head_.insert(head_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    count_ += bytes.size();
    if (checker_) {
        checker_->Add(bytes);
    }
}

bool ReceptionJudge::Complete() const
{
    switch (kind_) {
    case ExpectKind::Silence:
        return count_ > 0; // anything at all fails it
    case ExpectKind::Bytes: {
        // A pattern with "*" takes any rest: only the line's idling ends a
        // reception that matches so far.
        const auto progress = pattern_->Check(head_);
        return progress == BytePattern::Progress::Mismatch ||
               (progress == BytePattern::Progress::Complete && !pattern_->openEnded());
    }
    case ExpectKind::CheckedFrame:
        return checker_->Complete();
    case ExpectKind::None:
        break;
    }
    return false;
}

StepVerdict ReceptionJudge::Finish() const
{
    if (flawed_ && kind_ != ExpectKind::None) {
        return {false, "奇偶校验错误"};
    }
    switch (kind_) {
    case ExpectKind::None:
        return {};
    case ExpectKind::Silence:
        return {false, "有应答"};
    case ExpectKind::CheckedFrame: {
        const ReplyCheckResult result = checker_->Finish();
        if (result.Correct()) {
            return {};
        }
        std::string words = ReplyCheckText(result); // " [校验错误 …]"
        return {false, words.substr(2, words.size() - 3)};
    }
    case ExpectKind::Bytes: {
        const bool whole = count_ <= head_.size();
        if (whole && pattern_->Matches(head_)) {
            return {};
        }
        std::string got = HexPreview(head_, kShown);
        if (!whole && got.find("…") == std::string::npos) {
            got += "…";
        }
        return {false, "应为 " + pattern_->Text() + " 收到 " + got};
    }
    }
    return {};
}

StepVerdict ReceptionJudge::NoReception(ExpectKind kind)
{
    return kind == ExpectKind::Silence ? StepVerdict{} : StepVerdict{false, "超时"};
}

} // namespace quorvane
