#pragma once

#include "Setup.h"
#include "SharedSettings.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace quorvane {

class TermiosPort;

// A setup read for a run without a window, with its settings record.
struct HeadlessSetup {
    Setup setup;
    SharedSettings settings;
};

// Reads and checks the setup file, applying --port (COMn, or a device path
// that the setup's COMn then names). The exit status 2, after saying why on
// `err`, when it cannot be used.
std::optional<int> ReadHeadlessSetup(const std::string& file, const std::string& port,
                                     HeadlessSetup& into, std::ostream& err);

// Opens the setup's port with its line settings. False, after the port
// message and its reason on `err`, when it cannot be opened.
bool OpenHeadlessPort(TermiosPort& port, const Setup& setup, std::ostream& err);

} // namespace quorvane
