#pragma once

#include "ProtocolChoice.h"
#include "ReplyChecker.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvane {

// One field of a frame read by its protocol: the bytes it spans in the
// reception, its name and its value as shown ("从站地址" "01", "功能码" "03
// 读保持寄存器", "寄存器 3" "3", "校验" "C5 CD 正确" or "C5 CE 应为 C5 CD").
// `level` 1 puts a field under the last field of level 0 before it (the
// registers under the data).
struct ProtocolField {
    std::size_t offset = 0;
    std::size_t length = 0;
    std::string name;
    std::string value;
    int level = 0;
};

// A decoded number, plotted by its name: "寄存器 3", "线圈 5",
// "正向有功总电能".
struct ProtocolValue {
    std::string name;
    double value = 0;
    std::string unit;
};

// A reception read as the chosen protocol says.
// `check` carries the verdict (WrongStart, WrongLength, WrongEnd, WrongCheck
// with the check as it should be and as it came, or Correct); for a right
// frame, its short reading and, when it is no good answer, its refusal.
struct ProtocolReading {
    ReplyCheckResult check;
    std::vector<ProtocolField> fields;
    std::vector<ProtocolValue> values;
};

// The most bytes of a reception read: a longer one is no frame of these
// protocols (Modbus RTU at most 256, ASCII 513, DL/T 645 4 + 12 + 255).
inline constexpr std::size_t kMostProtocolFrame = 600;
// The most values a reading shows after its verdict; the rest as "…".
inline constexpr std::size_t kMostShownValues = 16;

// Reads a reception under a protocol (not the custom kind). `request` is the
// frame it answers, when there is one: a reply is then read against it
// (the registers numbered from its start address; a reply from another
// slave or meter, or to another function or control code, is refused), and
// without one the reception is read as a request when it has a request's
// shape (the simulated device's side) and as a reply otherwise. Any bytes:
// never more fields than bytes plus a few, never a reading longer than
// kMostShownValues values.
ProtocolReading ReadProtocolFrame(std::span<const std::uint8_t> reception,
                                  const ProtocolChoice& choice,
                                  std::span<const std::uint8_t> request = {});

// Whether the bytes so far are a whole frame of the protocol that the next
// byte could only spoil: its length says so (Modbus RTU by its function
// and counts, with a right CRC), its CR LF came (ASCII), or its 16 after the
// length it announced (DL/T 645). A reception may end there without waiting
// for the line to go quiet.
bool WholeProtocolFrame(std::span<const std::uint8_t> bytes, const ProtocolChoice& choice);

} // namespace quorvane
