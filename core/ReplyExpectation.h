#pragma once

#include "BytePattern.h"
#include "ReplyChecker.h"
#include "SharedSettings.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvane {

// What a step of a sequence expects the device to answer: nothing checked
// (不检查), a frame of the send format whose check is right (校验应答), bytes
// that match a pattern (字节), or silence for the step's time-out (无应答).
enum class ExpectKind : int { None = 0, CheckedFrame = 1, Bytes = 2, Silence = 3 };
inline constexpr int kExpectKindCount = 4;

struct ReplyExpectation {
    ExpectKind kind = ExpectKind::None;
    std::string pattern; // for Bytes: a BytePattern's text

    bool operator==(const ReplyExpectation&) const = default;
};

// Why an expectation cannot be used (a pattern that does not read), or
// empty when it can.
std::string ExpectationProblem(const ReplyExpectation& expectation);

// A step's outcome: passed, or failed and why ("超时", "校验错误 应为 C5 CD
// 收到 C5 CE", "应为 01 03 ?? * 收到 01 04 00", "有应答").
struct StepVerdict {
    bool passed = true;
    std::string reason;

    bool operator==(const StepVerdict&) const = default;
};

// " [通过]" or " [失败 超时]": the words after a step's reception.
std::string StepVerdictText(const StepVerdict& verdict);

// Judges the reception that answers a step, its bytes as they arrive, in
// constant memory, once the reception has ended:
// - 不检查: anything passes;
// - 校验应答: a frame of the send format with a right check that is not a
//   refusal (under CRC-16/Modbus an exception reply fails by its name);
// - 字节: the pattern matches ("*" takes any rest) and, while 校验应答 is
//   ticked in the receive settings, the reply checks right too;
// - 无应答: any byte fails it.
// Bytes that came with a parity or framing error, or more bytes than the
// byte limit lets in, fail every kind.
class ReceptionJudge {
public:
    // The expectation must be usable (ExpectationProblem empty).
    ReceptionJudge(const ReplyExpectation& expectation, const SharedSettings& settings);

    void Add(std::span<const std::uint8_t> bytes);
    void Flawed() { flawed_ = true; }
    void Overflowed() { overflowed_ = true; }
    // The reception was checked by other rules (a protocol's): its result
    // stands for the frame format's check.
    void UseCheck(const ReplyCheckResult& result) { outside_ = result; }
    StepVerdict Finish() const;

    // The step's time-out passed with no reception: silence passes 无应答
    // and 不检查, any other expectation fails by it.
    static StepVerdict NoReception(ExpectKind kind);

private:
    static constexpr std::size_t kShown = 16; // bytes a failure shows

    StepVerdict FinishBytes() const;

    ExpectKind kind_;
    std::optional<BytePattern> pattern_;
    std::optional<ReplyChecker> checker_;
    std::optional<ReplyCheckResult> outside_;
    ByteList head_; // the first bytes, for the pattern and the failure text
    std::uint64_t count_ = 0;
    bool flawed_ = false;
    bool overflowed_ = false;
};

} // namespace quorvane
