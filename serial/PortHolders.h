#pragma once

#include "SystemFolders.h"

#include <optional>
#include <string>
#include <vector>

namespace quorvane {

// A process that holds a serial device: its PID and its name (comm).
struct PortHolder {
    int pid = 0;
    std::string name;

    bool operator==(const PortHolder&) const = default;
};

// The process, other than this one, that has locked the device at path: an
// flock or a record lock on it in /proc/locks, or a LCK..name file in the
// lock folders whose PID is alive. Nothing is opened but text files.
std::optional<PortHolder> LockHolder(const std::string& path, const SystemFolders& folders);

// Whether this process itself has locked the device at path (another port
// of the same program has it open).
bool LockedHere(const std::string& path, const SystemFolders& folders);

// The processes, other than this one, that have the device at path open,
// from /proc/*/fd as far as they can be read (another user's are not).
std::vector<PortHolder> Openers(const std::string& path, const SystemFolders& folders);

// Whether a process of that name (comm) runs, e.g. "brltty".
bool ProcessRuns(const std::string& name, const SystemFolders& folders);

// "minicom(4242)", as the state column shows a holder.
std::string HolderText(const PortHolder& holder);

} // namespace quorvane
