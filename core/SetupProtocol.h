#pragma once

#include "Setup.h"

#include <map>
#include <string>
#include <string_view>

namespace quorvane {

// The [protocol] section of a setup (version 3): the protocol and what it
// needs, 模拟从站 on or off, then the simulated device's tables, a key each:
//
//   [protocol]
//   kind=1             0 the frame format, 1 Modbus RTU, 2 Modbus ASCII, 3 DL/T 645-2007
//   slave=1
//   meter=000000001234
//   preamble=1
//   simulate=1
//   register.0=300     a holding register and its value
//   coil.5=1
//   meter.00010000=1234.56
inline constexpr std::string_view kProtocolSection = "protocol";

// Whether a setup needs the section: a protocol chosen, or anything of the
// simulated device set. Without it the setup is written as version 2.
bool NeedsProtocolSection(const Setup& setup);

std::string ProtocolKeyProblem(std::string_view key);

void AppendProtocol(std::string& out, const Setup& setup);

// Reads the section's entries (key to raw value) into the setup; the first
// problem, or empty.
std::string ReadProtocol(const std::map<std::string_view, std::string_view, std::less<>>& entries,
                         Setup& setup);

} // namespace quorvane
