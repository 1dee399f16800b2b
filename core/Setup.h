#pragma once

#include "AnswerRule.h"
#include "ProtocolChoice.h"
#include "ReplyExpectation.h"
#include "ReplyField.h"
#include "SharedSettings.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quorvane {

// A send text kept under a name, sent later with its own input format; as a
// step of a sequence, with what it expects back, its own time-out and a
// pause after it.
struct SavedCommand {
    std::string name; // UTF-8, not empty
    std::string text; // UTF-8, line breaks as typed
    int format = 1;   // 0 string, 1 decimal, 2 hex (as opt2)
    ReplyExpectation expect;
    int timeoutMs = 0; // 0..65535; 0: the receive time-out
    int waitMs = 0;    // 0..65535

    bool operator==(const SavedCommand&) const = default;
};

// The format's version: 2 adds the sequences (a command's expected answer,
// time-out and pause, the rounds to run), 超时后继续 and the chart (its panes
// and the fields of the replies); a file of version 1 opens with those at
// their defaults.
// 3 adds the protocol: a setup that keeps the frame format, with no table
// of a simulated device, is still written as version 2.
inline constexpr int kSetupVersion = 3;

// Everything the user sets for one device, as plain data. The defaults are
// the program's start-up defaults, so a fresh record applied changes nothing.
// The record holds no file name, program or device path: the port is a COMn
// number, mapped to a device only when it is opened.
struct Setup {
    // Frame format (the frame dialog's fields, stored as it stores them).
    std::string StartByte = "00"; // hexadecimal text, leading blanks removed
    std::string SlaveAddr;
    std::string CmdByte;
    std::string EndByte = "FF";
    int LenOption = 1; // 0/1
    int FcsOption = 1; // 0/1
    int FcsMethod = 0; // 0..FcsMethodCount-1
    int FcsStart = 0;  // 0..2
    int FcsByteOrder = FcsHighFirst;
    int PreprocessOn = 0;   // 0/1
    int PreprocessKind = 0; // 0 hex-to-ASCII, 1 BCD

    // Receive settings.
    int RcvTimeoutMs = 50; // 0..65535
    int RcvMaxChars = 150; // 0..2147483647
    bool CheckReply = false;
    bool ShowMillis = false;
    bool ContinueAfterTimeout = false;

    // Send mode.
    int opt1 = 0;         // 0 single, 1 timed
    int opt2 = 1;         // input format: 0 string, 1 decimal, 2 hex
    int IntervalMs = 100; // 0..65535
    int TextEncoding = EncodingSingleByte;
    int LineBreak = BreakCrLf;

    // Port: a COMn number, never a device path.
    int Port = 2;               // 1..16
    int BaudRate = 9600;        // 50..4000000
    char Parity = 'n';          // 'n', 'o', 'e'
    int DataBits = 8;           // 4..8
    std::string StopBits = "1"; // "1", "1.5", "2"
    int Handshaking = 0;        // 0 none, 1 RTS/CTS, 2 XON/XOFF
    bool Dtr = true;
    bool Rts = true;
    // RS-485 direction control (version 2): RTS high or low while sending,
    // and the driver's delays before and after, 0..1000 ms.
    bool Rs485 = false;
    bool Rs485RtsHigh = true;
    int Rs485BeforeMs = 0;
    int Rs485AfterMs = 0;

    // View modes of the send and receive views, 0..3 (3 shows hex and characters).
    int SendViewMode = 1;
    int ReceiveViewMode = 1;

    std::string SendText; // the send box, UTF-8
    std::vector<SavedCommand> Commands;

    // The sequence of the commands: its rounds (0 until stopped) and
    // whether a failed step ends it.
    int SequenceRounds = 1; // 0..1000000
    bool StopOnFail = false;

    // 自动应答: on or off, and its rules.
    bool AnswersEnabled = false;
    std::vector<AnswerRule> Answers;
    // The chart window: which panes it shows, and the values it reads from
    // the replies (at most kMaxReplyFields).
    bool ChartResponse = true;
    bool ChartHistogram = false;
    bool ChartThroughput = false;
    bool ChartValues = true;
    std::vector<ReplyField> ChartFields;

    // The protocol (version 3), and 模拟从站: whether 自动应答 plays the
    // protocol's device, and the tables it answers from.
    ProtocolChoice Protocol;
    bool Simulate = false;
    SimulatedTables Tables;

    bool operator==(const Setup&) const = default;
};

// Limits a setup must keep. Text lengths count characters as the send box
// does: a character beyond U+FFFF counts as two.
inline constexpr std::size_t kSetupMaxCommands = 1000;
inline constexpr std::size_t kSetupMaxTextChars = 8192;
inline constexpr std::size_t kSetupMaxNameChars = 200;
inline constexpr std::size_t kSetupMaxByteTextChars = 32767; // a one-line box's length
inline constexpr std::size_t kSetupMaxFileBytes = 1 << 20;

// Copies the fields the settings record shares with a setup (frame, receive,
// send mode and text handling) from the record into the setup.
void CollectSharedSettings(const SharedSettings& from, Setup& into);

// Copies the same fields back into the record and marks the frame as changed,
// as confirming the frame or send-mode dialog does.
void ApplySharedSettings(const Setup& from, SharedSettings& into);

} // namespace quorvane
