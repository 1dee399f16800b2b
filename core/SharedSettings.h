#pragma once

#include "ProtocolChoice.h"

#include <cstdint>
#include <string>

namespace quorvane {

// The six-slot definition of the send frame. Text slots hold hexadecimal text
// as the user typed it (leading blanks removed); empty text leaves the byte out.
struct FrameTemplate {
    std::string StartByte = "00"; // slot 0
    std::string SlaveAddr;        // slot 1
    std::string CmdByte;          // slot 2
    int LenOption = 1;            // slot 3: 0 "无", 1 "有" data-count byte
    int FcsOption = 1;            // slot 4: 0 "无", 1 "有" checksum byte
    std::string EndByte = "FF";   // slot 5
};

// FcsMethod values: the documented XOR and sum, then the multi-byte checks,
// numbered after them so stored values keep their meaning.
enum FcsMethodId : int {
    FcsXor = 0,
    FcsSum = 1,
    FcsCrc16Modbus = 2,
    FcsCrc16CcittFalse = 3,
    FcsCrc16Xmodem = 4,
    FcsCrc16Ibm = 5,
    FcsCrc8 = 6,
    FcsCrc8Maxim = 7,
    FcsCrc32 = 8,
    FcsLrc = 9,
    FcsSum16 = 10,
    FcsMethodCount = 11,
};

// Byte order of a check wider than one byte.
enum FcsByteOrderId : int { FcsLowFirst = 0, FcsHighFirst = 1 };

// How string text becomes bytes and bytes become text.
enum TextEncodingId : int { EncodingSingleByte = 0, EncodingGbk = 1, EncodingUtf8 = 2 };

// The line break typed in the string format.
enum LineBreakId : int { BreakCrLf = 0, BreakLf = 1, BreakCr = 2 };

// The one process-wide settings record. Plain data: every window reads and
// writes the fields directly; each writer checks what it stores.
struct SharedSettings {
    FrameTemplate frame;
    int FcsMethod = 0;      // 0 XOR, 1 sum, then FcsMethodId
    int FcsByteOrder = FcsHighFirst; // checks of 2 or 4 bytes
    int FcsStart = 0;       // 0 frame head, 1 after the start byte, 2 data area
    int PreprocessOn = 0;   // 1 = on
    int PreprocessKind = 0; // 0 hex-to-ASCII, 1 BCD
    std::int32_t RcvTimeoutMs = 50;
    std::int32_t RcvMaxChars = 150; // highest index of a reception: 151 bytes
    int opt1 = 0;                   // send mode: 0 single, 1 timed
    int opt2 = 1;                   // input format: 0 string, 1 decimal, 2 hex
    bool CheckReply = false;        // "校验应答": each reception checked as a frame
    bool ShowMillis = false;        // "显示毫秒": headers to the millisecond
    // "超时后继续": timed sending counts a time-out and goes on, without a box.
    bool ContinueAfterTimeout = false;
    int TextEncoding = EncodingSingleByte; // string input and string display
    int LineBreak = BreakCrLf;              // a line break typed in string input
    // 配置 → 协议: under a protocol its frames replace the frame format's, and
    // every reception is checked and read by its rules.
    ProtocolChoice protocol;
    bool FrameDirty = false;
};

// Whether receptions are checked: 校验应答 ticked, or a protocol chosen.
inline bool ChecksReceptions(const SharedSettings& settings)
{
    return settings.CheckReply || settings.protocol.kind != ProtocolCustom;
}

// The process's one instance, reachable by every window.
SharedSettings& Shared();

// Fills the record with the fixed start-up defaults, in start-up order.
// The send-mode values opt1 and opt2 are set here too: they exist from start-up.
void ApplyStartupDefaults(SharedSettings& settings);

} // namespace quorvane
