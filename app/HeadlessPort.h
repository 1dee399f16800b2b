#pragma once

#include "Messages.h"
#include "Setup.h"
#include "SharedSettings.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace quorvane {

class SerialPort;

// A setup read for a run without a window, with its settings record.
struct HeadlessSetup {
    Setup setup;
    SharedSettings settings;
    // --port DEVICE, made absolute: the port is this device, named by it in
    // messages and the record; empty for the setup's COMn (or --port COMn).
    std::string device;
};

// Reads and checks the setup file, applying --port (COMn, or a device path,
// taken as it is when absolute and from the working folder when not). The
// exit status 2, after saying why on `err` (naming the file or the option),
// when it cannot be used.
std::optional<int> ReadHeadlessSetup(const std::string& file, const std::string& port,
                                     HeadlessSetup& into, std::ostream& err);

// How messages and the record name the port: the --port device, else COMn.
std::string HeadlessPortName(const HeadlessSetup& read);

// PortUnavailable or Rs485Refused, naming the port as HeadlessPortName does.
Message HeadlessPortMessage(MessageId id, const HeadlessSetup& read);

// The record's 串口打开 detail: the port's name, the device it has open
// when that is another path (a COMn's device, a by-id link found again),
// and its line settings.
std::string OpenedPortDetail(const std::string& name, const SerialPort& port);

// Opens the setup's port with its line settings. False, after the port
// message and its reason on `err`, when it cannot be opened.
bool OpenHeadlessPort(SerialPort& port, const HeadlessSetup& read, std::ostream& err);

} // namespace quorvane
