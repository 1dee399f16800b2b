#include "DeviceDiscovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <system_error>

namespace quorvane {

namespace {

namespace fs = std::filesystem;

// From the device folder of a ttyUSB port up to its USB device takes three
// steps (port, interface, device), for a ttyACM two.
constexpr int kFoldersUpToTheUsbDevice = 4;

struct KernelName {
    std::string prefix;
    unsigned long number = 0;
    std::string name() const { return prefix + std::to_string(number); }
};

// "ttyUSB12" as prefix and number, for the kinds of device looked for.
std::optional<KernelName> ReadKernelName(const std::string& name)
{
    for (const std::string prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
        if (!name.starts_with(prefix)) {
            continue;
        }
        const std::string digits = name.substr(prefix.size());
        const bool number = !digits.empty() && digits.size() <= 6 &&
                            std::all_of(digits.begin(), digits.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
        if (!number) {
            return std::nullopt;
        }
        return KernelName{prefix, std::stoul(digits)};
    }
    return std::nullopt;
}

bool KernelOrder(const KernelName& a, const KernelName& b)
{
    return a.prefix != b.prefix ? a.prefix < b.prefix : a.number < b.number;
}

// The whole content of a small sysfs file, blanks and line ends trimmed;
// nullopt when it cannot be read.
std::optional<std::string> ReadAttribute(const fs::path& file)
{
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        return std::nullopt;
    }
    std::ifstream in(file);
    if (!in) {
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    return text;
}

// An on-board UART has hardware behind it when the kernel gave it a type;
// the ports it reserves without hardware have type 0.
bool UartHasHardware(const fs::path& ttyFolder)
{
    const auto type = ReadAttribute(ttyFolder / "type");
    if (!type || type->empty() ||
        !std::all_of(type->begin(), type->end(), [](unsigned char c) { return std::isdigit(c); })) {
        return false;
    }
    return std::any_of(type->begin(), type->end(), [](char c) { return c != '0'; });
}

// Manufacturer and product of the USB device a tty belongs to: the first
// folder above the tty's device folder that holds either file.
std::string UsbDescription(const fs::path& ttyFolder)
{
    std::error_code error;
    fs::path folder = fs::canonical(ttyFolder / "device", error);
    if (error) {
        return {};
    }
    for (int step = 0; step < kFoldersUpToTheUsbDevice && folder.has_relative_path();
         ++step, folder = folder.parent_path()) {
        const bool holds =
            fs::exists(folder / "manufacturer", error) || fs::exists(folder / "product", error);
        if (!holds) {
            continue;
        }
        const std::string manufacturer = ReadAttribute(folder / "manufacturer").value_or("");
        const std::string product = ReadAttribute(folder / "product").value_or("");
        if (manufacturer.empty() || product.empty()) {
            return manufacturer + product;
        }
        return manufacturer + " " + product;
    }
    return {};
}

// Kernel name -> by-id link name. A link's target is read, never followed
// to the end: its last component is the kernel name (../../ttyUSB0). When
// several links name one device, the first by name wins.
std::map<std::string, std::string> ByIdNames(const std::string& serialById)
{
    std::map<std::string, std::string> names;
    std::error_code error;
    std::vector<std::string> links;
    for (fs::directory_iterator it(serialById, error), end; !error && it != end;
         it.increment(error)) {
        links.push_back(it->path().filename().string());
    }
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) {
        const fs::path target = fs::read_symlink(fs::path(serialById) / link, error);
        if (!error) {
            names.emplace(target.filename().string(), link);
        }
    }
    return names;
}

std::vector<KernelName> TtyNames(const std::string& sysClassTty)
{
    std::vector<KernelName> found;
    std::error_code error;
    for (fs::directory_iterator it(sysClassTty, error), end; !error && it != end;
         it.increment(error)) {
        if (auto name = ReadKernelName(it->path().filename().string())) {
            found.push_back(*name);
        }
    }
    std::sort(found.begin(), found.end(), KernelOrder);
    return found;
}

} // namespace

std::vector<FoundDevice> FindSerialDevices(const SystemFolders& folders)
{
    const std::vector<KernelName> names = TtyNames(folders.sysClassTty);
    const std::map<std::string, std::string> byId = ByIdNames(folders.serialById);
    std::vector<FoundDevice> uarts;
    std::vector<std::pair<std::string, FoundDevice>> linked;
    std::vector<FoundDevice> unlinked;
    for (const KernelName& kernel : names) {
        const std::string name = kernel.name();
        const fs::path ttyFolder = fs::path(folders.sysClassTty) / name;
        const std::string node = folders.dev + "/" + name;
        if (kernel.prefix == "ttyS") {
            if (UartHasHardware(ttyFolder)) {
                uarts.push_back({node, node, {}, FoundDevice::Kind::Uart});
            }
            continue;
        }
        const std::string description = UsbDescription(ttyFolder);
        const auto link = byId.find(name);
        if (link == byId.end()) {
            unlinked.push_back({node, node, description, FoundDevice::Kind::Adapter});
        } else {
            linked.emplace_back(link->second,
                                FoundDevice{folders.serialById + "/" + link->second, node,
                                            description, FoundDevice::Kind::Adapter});
        }
    }
    std::sort(linked.begin(), linked.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<FoundDevice> devices = std::move(uarts);
    for (auto& entry : linked) {
        devices.push_back(std::move(entry.second));
    }
    devices.insert(devices.end(), unlinked.begin(), unlinked.end());
    return devices;
}

} // namespace quorvane
