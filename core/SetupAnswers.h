#pragma once

#include "AnswerRule.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// The [answers] section of a setup (version 2): 自动应答 on or off, then its
// rules, each as n.enabled n.name n.match n.pattern n.reply n.text n.delay:
//
//   [answers]
//   enabled=1
//   count=1
//   1.enabled=1
//   1.name=读寄存器
//   1.match=0          0 a byte pattern, 1 a right frame (with n.pattern its command byte)
//   1.pattern=01 03 ?? ?? ?? ?? ?? ??
//   1.reply=1          0 hex bytes, 1 a frame of the send format around them
//   1.text=02 00 2A
//   1.delay=0
inline constexpr std::string_view kAnswersSection = "answers";

// Whether the section knows the key (its number, for a rule's key, past the
// limit is reported as too many rules).
std::string AnswerKeyProblem(std::string_view key);

void AppendAnswers(std::string& out, bool enabled, const std::vector<AnswerRule>& rules);

// Reads the section's entries (key to raw value); the first problem, or
// empty with the switch and the rules read. A rule that cannot be used
// refuses the whole file.
std::string ReadAnswers(const std::map<std::string_view, std::string_view, std::less<>>& entries,
                        bool& enabled, std::vector<AnswerRule>& rules);

} // namespace quorvane
