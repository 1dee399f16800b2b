#pragma once

#include "SystemFolders.h"

#include <optional>
#include <string>

namespace quorvane {

// The latency timer of an FTDI USB adapter (driver ftdi_sio): how many
// milliseconds the chip holds received bytes before handing them to the
// host, 16 unless someone changed it. A response timed through such an
// adapter can be that much late. The kernel shows it as the file
// latency_timer in the adapter's device folder
// (/sys/class/tty/ttyUSB0/device/latency_timer); other devices have none.
class LatencyTimer {
public:
    explicit LatencyTimer(SystemFolders folders) : folders_(std::move(folders)) {}

    // The adapter's latency_timer file for a device path (/dev/ttyUSB0, or a
    // /dev/serial/by-id link to it); nullopt when the device has none.
    std::optional<std::string> FileFor(const std::string& device) const;

    // The latency in milliseconds; nullopt for a device without one.
    std::optional<int> Read(const std::string& device) const;

    struct Lowering {
        enum class Outcome {
            Lowered,   // the timer is 1 ms now
            NoTimer,   // the device has no latency timer to lower
            Denied,    // the file is root's and this user may not write it
            Failed,    // writing failed otherwise; `error` says why
        };
        Outcome outcome = Outcome::NoTimer;
        int error = 0; // errno of a refused or failed write
    };

    // Sets the timer to 1 ms, the least the chip takes.
    Lowering LowerToOne(const std::string& device) const;

private:
    SystemFolders folders_;
};

} // namespace quorvane
