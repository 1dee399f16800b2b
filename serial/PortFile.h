#pragma once

#include <array>
#include <string>

namespace quorvane {

// The highest COMn a device can be named for.
constexpr int kMaxComPorts = 16;

// The devices named for COM1 to COM16 by one source; an empty text names none.
using PortChoices = std::array<std::string, kMaxComPorts>;

// QUORVANE_COM1 to QUORVANE_COM16, each when set and not empty.
PortChoices EnvironmentChoices();

// Where the user pins ports: $XDG_CONFIG_HOME/quorvane/ports.conf, or
// ~/.config/quorvane/ports.conf; empty when neither folder is known.
std::string PortFilePath();

// The lines COMn=/dev/... of the [ports] section of a port file. Blank lines,
// lines starting with ';' or '#', other sections and other keys are skipped.
PortChoices ParsePortFile(const std::string& text);

// The port file at path, read and never written; a missing or unreadable file
// names nothing.
PortChoices ReadPortFile(const std::string& path);

} // namespace quorvane
