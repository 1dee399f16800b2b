#pragma once

#include "DeviceDiscovery.h"
#include "PortFile.h"

#include <string>
#include <vector>

namespace quorvane {

// How a COMn got its device; Typed: a network port typed in the port dialog.
enum class PortSource { Environment, PortFile, Found, Default, Typed };

// What a COMn's device path is right now, seen without opening it; Busy
// when another program has locked it. A port served over the network is
// Network: finding ports opens no connection.
enum class DeviceState { Present, Missing, NoPermission, Busy, Network };

struct ComPort {
    int number = 0;
    std::string device;
    PortSource source = PortSource::Default;
    std::string description;
    DeviceState state = DeviceState::Missing;
    std::string holder; // under Busy: "minicom(4242)"
    std::string reached; // under Network, once probed: "可连接", "拒绝连接", ...
};

// COM1 to COM4 always, then COM5 up to the highest COMn (at most COM16) that
// something gives a device; entry i is COM(i+1).
using PortMap = std::vector<ComPort>;
constexpr int kAlwaysOfferedPorts = 4;

// COMn in order of precedence: the environment, the port file, then the
// devices found that neither named (under any of their names): on-board
// UARTs fill the free COMn from COM1 up, adapters the free COMn from COM2
// up and COM1 last, so that a machine's only adapter is COM2. A COMn left
// over gets devFolder/ttyS{n-1}; a default already given to another COMn
// gives way to the lowest-numbered ttyS that no COMn has, so that no device
// stands behind two COMn unless the user named it twice.
PortMap MapPorts(const PortChoices& environment, const PortChoices& portFile,
                 const std::vector<FoundDevice>& found, const std::string& devFolder);

// The mapping of this moment: the network ports typed for this run, the
// environment, the user's port file, the devices found in folders; a device
// another program has locked is Busy, with who.
PortMap WorkOutPortMap(const SystemFolders& folders);

// Network ports typed in the port dialog, one per COMn, kept until the
// program ends ahead of every other source; an empty text takes it back.
void SetTypedPort(int number, const std::string& address);
std::string TypedPort(int number);

// Present when path exists as a device the user may read and write, NoPermission
// when it exists but access is refused, else Missing (also for anything that is
// not a character device, which can never be opened as a port).
DeviceState DeviceStateOf(const std::string& path);

} // namespace quorvane
