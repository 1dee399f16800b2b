#pragma once

#include "SystemFolders.h"
#include "TerminalDevice.h"

#include <string>

namespace quorvane {

// Says why a port did not open, found on the spot from what the machine
// shows: who holds the device (/proc, lock files), whose group it is in,
// which ports do exist, and the two services known to take adapters
// (brltty grabs some USB serial chips for braille displays; ModemManager
// probes a new ttyACM for a few seconds). The text goes under the port
// message's first line (UTF-8).
class PortDiagnosis {
public:
    explicit PortDiagnosis(SystemFolders folders) : folders_(std::move(folders)) {}

    // Why COMn, whose device is path, refused to open as `failure` says;
    // comPort 0 for a device given by its path alone.
    std::string Explain(int comPort, const std::string& path, const TakeFailure& failure) const;

private:
    std::string NoPermission(const std::string& path) const;
    std::string Held(const std::string& path) const;
    std::string NoDevice(int comPort, const std::string& path) const;
    std::string BrlttyHint() const;
    std::string ModemManagerHint(const std::string& path) const;

    SystemFolders folders_;
};

} // namespace quorvane
