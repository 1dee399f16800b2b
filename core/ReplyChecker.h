#pragma once

#include "ByteList.h"
#include "FcsAccumulator.h"
#include "FrameLayout.h"
#include "SharedSettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quorvane {

enum class ReplyVerdict {
    Correct,
    WrongCheck,  // the check field differs from the check over the covered bytes
    WrongLength, // too short for the template, or a data-count byte that disagrees
    WrongEnd,    // the last byte is not the end byte
    WrongStart,  // the first byte is not the start byte
    ParityError, // some bytes came with a parity or framing error: none is trusted
};

struct ReplyCheckResult {
    ReplyVerdict verdict = ReplyVerdict::Correct;
    ByteList expected; // WrongCheck: the check field as it should read, in wire order
    ByteList received; // WrongCheck: the check field as it came
    // A right CRC-16/Modbus frame whose function byte has its high bit set:
    // the exception code the device answered with.
    std::optional<std::uint8_t> modbusException;
    // Under a protocol: the short reading of a right frame that follows the
    // verdict words ("读保持寄存器 10 个: 0 1 2", "异常 02 非法数据地址"), and,
    // when the frame is right but no good answer (an exception, an abnormal
    // meter reply, a frame from another slave), why: a step fails by it.
    std::string reading;
    std::string refusal;

    bool Correct() const { return verdict == ReplyVerdict::Correct; }
};

// Checks a reception as a frame of the send frame's template: the start byte,
// the end byte and the data-count byte where the template has them, and the
// check field by the chosen method over the same bytes the send frame covers.
// Without a check field only the structure is checked. The bytes may come in
// pieces of any size; only the header, the last few bytes and the running
// check are kept, so a reception of any length costs no memory.
class ReplyChecker
{
public:
    explicit ReplyChecker(const SharedSettings& settings);

    void Add(std::span<const std::uint8_t> bytes);
    ReplyCheckResult Finish() const;
    // Whether the bytes so far are a whole right frame that the next byte
    // could only spoil: its data-count byte says it is complete, or its end
    // byte has come, or (without either) a check of two or more bytes is
    // right. A reception may end here without waiting for the line to idle.
    bool Complete() const;
    std::uint64_t Count() const { return count_; }

private:
    // The check field and the end byte are the last bytes of a frame, so a
    // byte is known to be covered only once that many bytes have followed it.
    void PassOn(std::span<const std::uint8_t> bytes);
    void KeepHeader(std::span<const std::uint8_t> bytes);
    void KeepTail(std::span<const std::uint8_t> bytes);
    std::optional<ReplyVerdict> StructureFault() const;
    std::optional<std::uint8_t> ModbusException() const;

    FrameLayout layout_;
    bool modbus_ = false; // the check is CRC-16/Modbus
    FcsAccumulator fcs_;
    std::uint64_t count_ = 0;  // bytes added
    std::uint64_t passed_ = 0; // bytes passed on beyond the tail
    std::array<std::uint8_t, 4> header_{};
    std::array<std::uint8_t, 8> tail_{};
    std::size_t tailSize_ = 0;
};

// The whole reception at once.
ReplyCheckResult CheckReply(const ByteList& reception, const SharedSettings& settings);

// A Modbus exception by its code: "异常 02 非法数据地址" ("异常 0C" for a code
// without a name).
std::string ModbusExceptionText(std::uint8_t code);

// The text shown right after a reception's bytes, e.g. " [校验正确]",
// " [校验错误 应为 C5 CD 收到 C5 CE]" or " [校验正确 异常 02 非法数据地址]".
std::string ReplyCheckText(const ReplyCheckResult& result);

} // namespace quorvane
