#pragma once

namespace quorvane {

class SerialPort;

// The settings record's reference to the main window's serial port, set when
// the main window loads. Kept beside the port interface, not in the core.
SerialPort*& SharedPort();

} // namespace quorvane
