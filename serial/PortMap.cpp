#include "PortMap.h"

#include "NetworkAddress.h"
#include "PortHolders.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane {

namespace {

// Two paths stand for one device when they are the same path, or lead to the
// same file (a by-id link and the node it names, two links to one node).
bool SameDevice(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    if (fs::path(a).lexically_normal() == fs::path(b).lexically_normal()) {
        return true;
    }
    struct stat first = {};
    struct stat second = {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool IsFoundDevice(const FoundDevice& device, const std::string& path)
{
    return SameDevice(device.path, path) || SameDevice(device.nodePath, path);
}

bool Taken(const PortMap& map, const std::string& path)
{
    return std::any_of(map.begin(), map.end(), [&](const ComPort& port) {
        return !port.device.empty() && SameDevice(port.device, path);
    });
}

std::string DefaultDevice(const PortMap& map, int n, const std::string& devFolder)
{
    const auto uart = [&](int k) { return devFolder + "/ttyS" + std::to_string(k); };
    if (!Taken(map, uart(n - 1))) {
        return uart(n - 1);
    }
    int k = 0;
    while (Taken(map, uart(k))) {
        ++k;
    }
    return uart(k);
}

// Each device takes the first COMn still free, in the order given.
void GiveFreePorts(PortMap& map, const std::vector<const FoundDevice*>& devices,
                   const std::vector<int>& order)
{
    auto next = devices.begin();
    for (const int i : order) {
        if (next == devices.end()) {
            return;
        }
        if (map[i].device.empty()) {
            map[i].device = (*next)->path;
            map[i].source = PortSource::Found;
            ++next;
        }
    }
}

} // namespace

DeviceState DeviceStateOf(const std::string& path)
{
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0) {
        return errno == EACCES ? DeviceState::NoPermission : DeviceState::Missing;
    }
    if (!S_ISCHR(status.st_mode)) {
        return DeviceState::Missing;
    }
    if (access(path.c_str(), R_OK | W_OK) != 0) {
        return errno == EACCES ? DeviceState::NoPermission : DeviceState::Missing;
    }
    return DeviceState::Present;
}

PortMap MapPorts(const PortChoices& environment, const PortChoices& portFile,
                 const std::vector<FoundDevice>& found, const std::string& devFolder)
{
    PortMap map(kMaxComPorts);
    for (int i = 0; i < kMaxComPorts; ++i) {
        map[i].number = i + 1;
        if (!environment[i].empty()) {
            map[i].device = environment[i];
            map[i].source = PortSource::Environment;
        } else if (!portFile[i].empty()) {
            map[i].device = portFile[i];
            map[i].source = PortSource::PortFile;
        }
    }
    std::vector<const FoundDevice*> uarts;
    std::vector<const FoundDevice*> adapters;
    for (const FoundDevice& device : found) {
        const bool named = std::any_of(map.begin(), map.end(), [&](const ComPort& port) {
            return !port.device.empty() && IsFoundDevice(device, port.device);
        });
        if (!named) {
            (device.kind == FoundDevice::Kind::Uart ? uarts : adapters).push_back(&device);
        }
    }
    std::vector<int> fromCom1(kMaxComPorts);
    std::iota(fromCom1.begin(), fromCom1.end(), 0);
    std::vector<int> fromCom2(fromCom1.begin() + 1, fromCom1.end());
    fromCom2.push_back(0);
    GiveFreePorts(map, uarts, fromCom1);
    GiveFreePorts(map, adapters, fromCom2);

    int count = kAlwaysOfferedPorts;
    for (int i = kAlwaysOfferedPorts; i < kMaxComPorts; ++i) {
        if (!map[i].device.empty()) {
            count = i + 1;
        }
    }
    map.resize(count);
    for (ComPort& port : map) {
        if (port.device.empty()) {
            port.device = DefaultDevice(map, port.number, devFolder);
            port.source = PortSource::Default;
        }
    }
    for (ComPort& port : map) {
        const auto same = std::find_if(found.begin(), found.end(), [&](const FoundDevice& device) {
            return IsFoundDevice(device, port.device);
        });
        if (same != found.end()) {
            port.description = same->description;
        }
        if (IsNetworkPath(port.device)) {
            const auto server = ParseNetworkAddress(port.device);
            port.description = server ? server->kindText() + " " + server->hostAndPort()
                                      : std::string("地址无效");
            port.state = DeviceState::Network;
            continue;
        }
        port.state = DeviceStateOf(port.device);
    }
    return map;
}

namespace {

PortChoices& Typed()
{
    static PortChoices typed;
    return typed;
}

} // namespace

void SetTypedPort(int number, const std::string& address)
{
    if (number >= 1 && number <= kMaxComPorts) {
        Typed()[number - 1] = address;
    }
}

std::string TypedPort(int number)
{
    return number >= 1 && number <= kMaxComPorts ? Typed()[number - 1] : std::string();
}

PortMap WorkOutPortMap(const SystemFolders& folders)
{
    PortChoices first = EnvironmentChoices();
    for (int i = 0; i < kMaxComPorts; ++i) {
        if (!Typed()[i].empty()) {
            first[i] = Typed()[i];
        }
    }
    PortMap map = MapPorts(first, ReadPortFile(PortFilePath()), FindSerialDevices(folders), folders.dev);
    for (ComPort& port : map) {
        if (!TypedPort(port.number).empty()) {
            port.source = PortSource::Typed;
        }
    }
    for (ComPort& port : map) {
        if (port.state != DeviceState::Present) {
            continue;
        }
        if (const auto holder = LockHolder(port.device, folders)) {
            port.state = DeviceState::Busy;
            port.holder = HolderText(*holder);
        }
    }
    return map;
}

} // namespace quorvane
