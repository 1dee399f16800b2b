#include "LatencyTimer.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace quorvane {

namespace {

namespace fs = std::filesystem;

// Links followed at most from a by-id name to the kernel's node.
constexpr int kLinkSteps = 8;

// The kernel name of a device: the first name along its chain of links
// that the tty folder knows (/dev/serial/by-id/usb-FTDI_… → ttyUSB0).
// Links are followed one step at a time, never to the end, so a node that
// is itself a link elsewhere still counts under its own name.
std::optional<std::string> KernelName(const fs::path& ttyFolder, const std::string& device)
{
    if (device.empty()) {
        return std::nullopt;
    }
    fs::path path(device);
    for (int step = 0; step <= kLinkSteps; ++step) {
        std::error_code error;
        const std::string name = path.filename().string();
        if (!name.empty() && fs::exists(ttyFolder / name, error)) {
            return name;
        }
        if (!fs::is_symlink(path, error)) {
            return std::nullopt;
        }
        const fs::path target = fs::read_symlink(path, error);
        if (error) {
            return std::nullopt;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> LatencyTimer::FileFor(const std::string& device) const
{
    const fs::path ttyFolder(folders_.sysClassTty);
    const auto name = KernelName(ttyFolder, device);
    if (!name) {
        return std::nullopt;
    }
    const fs::path file = ttyFolder / *name / "device" / "latency_timer";
    std::error_code error;
    if (!fs::exists(file, error)) {
        return std::nullopt;
    }
    return file.string();
}

std::optional<int> LatencyTimer::Read(const std::string& device) const
{
    const auto file = FileFor(device);
    std::error_code error;
    if (!file || !fs::is_regular_file(*file, error)) {
        return std::nullopt;
    }
    std::ifstream in(*file);
    int ms = -1;
    if (!(in >> ms) || ms < 0) {
        return std::nullopt;
    }
    return ms;
}

LatencyTimer::Lowering LatencyTimer::LowerToOne(const std::string& device) const
{
    using Outcome = Lowering::Outcome;
    const auto file = FileFor(device);
    if (!file) {
        return {Outcome::NoTimer, 0};
    }
    const int fd = open(file->c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const bool denied = error == EACCES || error == EPERM;
        return {denied ? Outcome::Denied : Outcome::Failed, error};
    }
    // The driver asks the chip during the write: a refusal by the chip
    // comes back from write(), not from the opening.
    const bool written = write(fd, "1", 1) == 1;
    int error = written ? 0 : (errno != 0 ? errno : EIO);
    if (close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        return {Outcome::Failed, error};
    }
    return {Outcome::Lowered, 0};
}

} // namespace quorvane
