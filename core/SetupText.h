#pragma once

#include "Messages.h"
#include "Setup.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// A setup file is UTF-8 INI text. It opens with the format's version and then
// holds every section and every key the writer writes, in any order:
//
//   [quorvane]
//   version=1
//   [frame]      StartByte SlaveAddr CmdByte EndByte LenOption FcsOption
//                FcsMethod FcsStart FcsByteOrder PreprocessOn PreprocessKind
//   [receive]    RcvTimeoutMs RcvMaxChars CheckReply ShowMillis
//   [send]       mode format interval encoding linebreak text
//   [port]       port baud parity databits stopbits handshake dtr rts
//   [display]    send receive
//   [sequence]   rounds stoponfail                                (version 2)
//   [chart]      response histogram throughput values, fields, then for
//                n = 1..fields: n.name n.unit n.area n.offset n.width
//                n.signed n.highfirst n.scale n.shift             (version 2)
//   [commands]   count, then for n = 1..count: n.name n.text n.format
//
// Text values (the byte texts, the send text, command names and texts) are
// escaped as EscapeSetupValue describes; numbers are decimal digits only and
// switches 0 or 1; parity is n, o or e, stop bits 1, 1.5 or 2. Blanks around
// keys and values, blank lines and comment lines (';' or '#' first) are
// passed over. Keys and section names are matched exactly.
//
// The reader is strict, so a typo or a file cut short is reported, not
// guessed at: an unknown section or key, a key given twice, a missing section
// or key (a command with a name but no text), or a command numbered past
// count is refused, and so is any version but 1. A file over kSetupMaxFileBytes
// (counting the line break its last line may lack) is refused unread.

// Either the complete setup, or the first problem in the file as a short
// Chinese text for SetupInvalidMessage.
struct SetupReading {
    std::optional<Setup> setup;
    std::string problem;
};

// The text of a setup: the same record always gives the same text.
std::string WriteSetupText(const Setup& setup);

// Reads and checks a whole setup file; nothing partial is ever returned.
SetupReading ReadSetupText(std::string_view text);

// Empty when the record's text would open again; otherwise why not, for
// "无法保存配置文件: ": a saved command's own fault in words a user reads
// ("命令 1 的名称为空"), else the problem the reader would report (a value
// out of range, or a text too large as a whole). To be asked before a setup
// is saved.
std::string SetupSaveProblem(const Setup& setup);

// Why the command list cannot keep an edited command (its name empty or too
// long, its text longer than the send box takes); an empty text when it can.
Message SavedCommandRefusal(const SavedCommand& command);

} // namespace quorvane
