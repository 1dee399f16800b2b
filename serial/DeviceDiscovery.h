#pragma once

#include "SystemFolders.h"

#include <string>
#include <vector>

namespace quorvane {

// A serial device found on the machine.
struct FoundDevice {
    // An on-board UART (ttyS*) or a USB or modem-class adapter (ttyUSB*, ttyACM*).
    enum class Kind { Uart, Adapter };

    // The path COMn names: the /dev/serial/by-id link of an adapter that has
    // one, else the device node (dev/ttyS0, dev/ttyUSB0).
    std::string path;
    // The device node under dev, named after the kernel's name.
    std::string nodePath;
    // Manufacturer and product of a USB adapter; empty when sysfs has none.
    std::string description;
    Kind kind = Kind::Adapter;
};

// The serial devices worth offering, in the order they take free COMn:
// first on-board UARTs with hardware behind them (ttyS* whose type is not 0),
// by number; then USB and modem-class adapters (ttyUSB*, ttyACM*): those with
// a by-id link ordered by its name, then the others by kernel name (ttyACM
// before ttyUSB, by number). Only folders and links are read: no device is
// opened. Anything unreadable leaves out a UART or a description, nothing more.
std::vector<FoundDevice> FindSerialDevices(const SystemFolders& folders);

} // namespace quorvane
