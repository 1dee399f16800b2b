#pragma once

#include "Messages.h"

#include <span>

namespace quorvane {

// How the send box takes one typed character under an input format (opt2):
// as it is, as another character (hexadecimal letters in upper case), or not
// at all. Characters are UTF-16 code units, as the box holds them.
struct CharVerdict {
    bool accepted = true;
    char16_t entered = 0;
};

CharVerdict JudgeTypedChar(int format, char16_t ch);

// Pasted or dropped text goes in whole or not at all: every character must
// pass as a typed key would, and blanks, tabs and line breaks (CR, LF) pass
// as the keys that make them do. Hexadecimal letters are put in upper case in
// place. False when a character is refused; the text is then of no use.
bool AdmitPastedText(int format, std::span<char16_t> text);

// The message that refuses a key or a paste under a byte-string format.
MessageId RefusalFor(int format);

} // namespace quorvane
