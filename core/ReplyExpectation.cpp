#include "ReplyExpectation.h"

#include <algorithm>

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
        } else if (settings.CheckReply) {
            checker_.emplace(settings);
        }
    } else if (kind_ == ExpectKind::CheckedFrame) {
        checker_.emplace(settings);
    }
}

void ReceptionJudge::Add(std::span<const std::uint8_t> bytes)
{
    const std::size_t keep = std::max((pattern_ ? pattern_->length() : 0), kShown + 1);
    if (head_.size() < keep) {
        const std::size_t taken = std::min(keep - head_.size(), bytes.size());
        head_.insert(head_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    count_ += bytes.size();
    if (checker_) {
        checker_->Add(bytes);
    }
}

namespace {

// " [校验错误 应为 C5 CD 收到 C5 CE]" as a reason: "校验错误 应为 C5 CD 收到 C5 CE".
std::string Unbracketed(const std::string& words)
{
    return words.substr(2, words.size() - 3);
}

} // namespace

StepVerdict ReceptionJudge::Finish() const
{
    if (flawed_) {
        return {false, "奇偶校验错误"};
    }
    if (overflowed_) {
        return {false, "超出字节数"};
    }
    switch (kind_) {
    case ExpectKind::None:
        return {};
    case ExpectKind::Silence:
        return {false, "有应答"};
    case ExpectKind::CheckedFrame: {
        const ReplyCheckResult result = outside_ ? *outside_ : checker_->Finish();
        if (!result.Correct()) {
            return {false, Unbracketed(ReplyCheckText(result))};
        }
        if (result.modbusException) {
            return {false, ModbusExceptionText(*result.modbusException)};
        }
        if (!result.refusal.empty()) {
            return {false, result.refusal};
        }
        return {};
    }
    case ExpectKind::Bytes:
        return FinishBytes();
    }
    return {};
}

StepVerdict ReceptionJudge::FinishBytes() const
{
    const std::size_t length = pattern_->length();
    const bool matches =
        pattern_->openEnded()
            ? count_ >= length && pattern_->Matches(std::span(head_).first(length))
            : count_ == length && pattern_->Matches(head_);
    if (!matches) {
        std::string got = HexPreview(head_, kShown);
        if (count_ > head_.size() && got.find("…") == std::string::npos) {
            got += "…";
        }
        return {false, "应为 " + pattern_->Text() + " 收到 " + got};
    }
    if (checker_) { // 校验应答 is ticked
        const ReplyCheckResult result = outside_ ? *outside_ : checker_->Finish();
        if (!result.Correct()) {
            return {false, Unbracketed(ReplyCheckText(result))};
        }
    }
    return {};
}

StepVerdict ReceptionJudge::NoReception(ExpectKind kind)
{
    return kind == ExpectKind::Silence || kind == ExpectKind::None ? StepVerdict{}
                                                                     : StepVerdict{false, "超时"};
}

} // namespace quorvane
