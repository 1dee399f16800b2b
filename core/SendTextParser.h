#pragma once

#include "Outcome.h"
#include "SharedSettings.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// The send text split into its characters, in order.
std::u32string SplitChars(std::string_view text);

// Maximal runs of characters that are not a space, CR or LF. Never empty tokens.
std::vector<std::u32string> SplitTokens(const std::u32string& chars);

// Turns the send text (UTF-8, line breaks as CR LF) into the data area, by the
// input format opt2 and the preprocessing settings. On failure the outcome
// names the message to show, if any. Updates flags.ByteRangeError (byte
// strings, and characters with no single-byte code) and, through BcdConvert,
// flags.BcdRangeError.
ByteOutcome ParseSendText(std::string_view text, const SharedSettings& settings, RangeFlags& flags);

} // namespace quorvane
