#include "PortHolders.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace quorvane {

namespace {

namespace fs = std::filesystem;

bool AllDigits(const std::string& text)
{
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string ReadSmallFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return text;
}

std::string Trimmed(std::string text)
{
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    return text;
}

bool Alive(int pid, const SystemFolders& folders)
{
    std::error_code error;
    return pid > 0 && fs::exists(fs::path(folders.proc) / std::to_string(pid), error);
}

std::string NameOf(int pid, const SystemFolders& folders)
{
    const std::string name =
        Trimmed(ReadSmallFile(fs::path(folders.proc) / std::to_string(pid) / "comm"));
    return name.empty() ? std::string("?") : name;
}

// The running processes' PIDs, this one left out.
std::vector<int> OtherProcesses(const SystemFolders& folders)
{
    std::vector<int> pids;
    std::error_code error;
    for (fs::directory_iterator it(folders.proc, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (AllDigits(name) && std::stoll(name) != getpid()) {
            pids.push_back(static_cast<int>(std::stoll(name)));
        }
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

// A lock line of /proc/locks names the file by "MAJOR:MINOR:INODE", the
// device numbers in hexadecimal: "1: FLOCK  ADVISORY  WRITE 4242 00:05:12 0 EOF".
// Waiters ("1: -> FLOCK ...") hold nothing.
std::optional<int> LockerOf(const struct stat& file, const SystemFolders& folders,
                            bool self = false)
{
    std::ifstream locks(fs::path(folders.proc) / "locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream words(line);
        std::string number, kind, mode, access, pid, where;
        if (!(words >> number >> kind) || kind == "->" ||
            !(words >> mode >> access >> pid >> where)) {
            continue;
        }
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3 ||
            !AllDigits(pid)) {
            continue;
        }
        if (makedev(major, minor) == file.st_dev && inode == file.st_ino &&
            (std::stoll(pid) == getpid()) == self) {
            return static_cast<int>(std::stoll(pid));
        }
    }
    return std::nullopt;
}

// The names a LCK.. file may carry for a device: its kernel name, and for a
// device in a folder of /dev the path below /dev with "_" for "/" (pts_3).
std::vector<std::string> LockNames(const std::string& path)
{
    std::vector<std::string> names;
    const fs::path given(path);
    names.push_back(given.filename().string());
    std::error_code error;
    const fs::path real = fs::canonical(given, error);
    if (!error) {
        names.push_back(real.filename().string());
        std::string below = real.lexically_relative("/dev").string();
        if (!below.empty() && !below.starts_with("..")) {
            std::replace(below.begin(), below.end(), '/', '_');
            names.push_back(below);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

// A LCK.. file holds the PID as text ("      4242\n") or, from old
// programs, as a 4-byte binary number.
std::optional<int> PidInLockFile(const fs::path& file)
{
    const std::string content = ReadSmallFile(file);
    const std::string text = Trimmed(content);
    if (AllDigits(text)) {
        return static_cast<int>(std::stoll(text));
    }
    if (content.size() == sizeof(int)) {
        int pid = 0;
        std::copy(content.begin(), content.end(), reinterpret_cast<char*>(&pid));
        return pid;
    }
    return std::nullopt;
}

std::optional<int> LockFileOwner(const std::string& path, const SystemFolders& folders)
{
    for (const std::string& folder : folders.lockFolders) {
        for (const std::string& name : LockNames(path)) {
            const auto pid = PidInLockFile(fs::path(folder) / ("LCK.." + name));
            if (pid && *pid != getpid() && Alive(*pid, folders)) {
                return pid;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<PortHolder> LockHolder(const std::string& path, const SystemFolders& folders)
{
    struct stat file = {};
    std::optional<int> pid;
    if (stat(path.c_str(), &file) == 0) {
        pid = LockerOf(file, folders);
    }
    if (!pid) {
        pid = LockFileOwner(path, folders);
    }
    if (!pid) {
        return std::nullopt;
    }
    return PortHolder{*pid, NameOf(*pid, folders)};
}

bool LockedHere(const std::string& path, const SystemFolders& folders)
{
    struct stat file = {};
    return stat(path.c_str(), &file) == 0 && LockerOf(file, folders, true).has_value();
}

std::vector<PortHolder> Openers(const std::string& path, const SystemFolders& folders)
{
    struct stat device = {};
    if (stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) {
        return {};
    }
    std::vector<PortHolder> holders;
    for (const int pid : OtherProcesses(folders)) {
        std::error_code error;
        const fs::path fds = fs::path(folders.proc) / std::to_string(pid) / "fd";
        for (fs::directory_iterator it(fds, error), end; !error && it != end;
             it.increment(error)) {
            // Only descriptors of device nodes are worth a stat.
            std::error_code unreadable;
            const fs::path target = fs::read_symlink(it->path(), unreadable);
            struct stat open = {};
            if (unreadable || !target.string().starts_with("/dev/") ||
                stat(it->path().c_str(), &open) != 0) {
                continue;
            }
            if (S_ISCHR(open.st_mode) && open.st_rdev == device.st_rdev) {
                holders.push_back({pid, NameOf(pid, folders)});
                break;
            }
        }
    }
    return holders;
}

bool ProcessRuns(const std::string& name, const SystemFolders& folders)
{
    const std::vector<int> pids = OtherProcesses(folders);
    return std::any_of(pids.begin(), pids.end(),
                       [&](int pid) { return NameOf(pid, folders) == name; });
}

std::string HolderText(const PortHolder& holder)
{
    return holder.name + "(" + std::to_string(holder.pid) + ")";
}

} // namespace quorvane
