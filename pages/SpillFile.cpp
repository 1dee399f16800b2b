#include "SpillFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quorvane
{

namespace
{

std::string CacheFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') {
        return std::string(cache) + "/quorvane";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.cache/quorvane";
}

// mkdir -p, private to the user.
bool MakeFolder(const std::string& folder)
{
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (at == std::string::npos) {
            break;
        }
    }
    struct stat info {
    };
    if (::stat(folder.c_str(), &info) != 0) {
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// An unlinked file in the folder: O_TMPFILE where the file system has it,
// otherwise a named file removed at once.
int OpenUnlinked(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        return fd;
    }
    std::string name = folder + "/spill-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        ::unlink(name.c_str());
    }
    return named;
}

} // namespace

SpillOpener CacheSpillOpener()
{
    return [](std::string& where) {
        where = CacheFolder();
        return MakeFolder(where) ? OpenUnlinked(where) : -1;
    };
}

SpillFile::SpillFile(std::size_t slotBytes, SpillOpener opener,
                     std::optional<std::uint64_t> capBytes)
    : slotBytes_(slotBytes), opener_(std::move(opener)), capBytes_(capBytes)
{
}

SpillFile::~SpillFile()
{
    reset();
}

void SpillFile::report(const char* what, int error)
{
    if (!reported_) {
        reported_ = true;
        std::fprintf(stderr, "quorvane: %s %s: %s; 文本保留在内存中,超出上限时丢弃最早的部分\n",
                     what, where_.c_str(), std::strerror(error));
    }
}

void SpillFile::fail(const char* what, int error, bool reusing)
{
    failed_ = true;
    reuseFailed_ = reuseFailed_ || reusing;
    retryAt_ = now_() + kRetryAfter;
    report(what, error);
}

std::uint64_t SpillFile::capSlots() const
{
    return capBytes_ ? *capBytes_ / slotBytes_ : UINT64_MAX;
}

bool SpillFile::open()
{
    if (fd_ >= 0) {
        return true;
    }
    fd_ = opener_ ? opener_(where_) : -1;
    if (fd_ < 0) {
        fail("无法创建临时文件", opener_ ? errno : ENOENT, false);
        return false;
    }
    if (!capBytes_) {
        struct statvfs space {
        };
        const std::uint64_t free =
            ::fstatvfs(fd_, &space) == 0 ? std::uint64_t{space.f_bavail} * space.f_frsize : 0;
        capBytes_ = std::min(free / 4, kMostBytes);
    }
    return true;
}

bool SpillFile::canWrite() const
{
    const bool due = !failed_ || now_() >= retryAt_;
    if (!free_.empty()) {
        return !reuseFailed_ || due;
    }
    return due && slots_ < capSlots();
}

SpillFile::Refusal SpillFile::refusal() const
{
    if (failed_) {
        return Refusal::Unwritable;
    }
    return free_.empty() && slots_ >= capSlots() ? Refusal::Full : Refusal::None;
}

std::int64_t SpillFile::write(const char* data)
{
    if (!canWrite()) {
        return -1;
    }
    const bool reusing = !free_.empty();
    if (!reusing && !open()) {
        return -1;
    }
    if (!reusing && slots_ >= capSlots()) {
        return -1; // the cap measured as the file was made
    }
    const std::uint64_t slot = reusing ? free_.back() : slots_;
    const auto at = static_cast<off_t>(slot * slotBytes_);
    std::size_t done = 0;
    while (done < slotBytes_) {
        const ssize_t n =
            ::pwrite(fd_, data + done, slotBytes_ - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            fail("无法写入临时文件", n < 0 ? errno : ENOSPC, reusing);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    if (reusing) {
        free_.pop_back();
        reuseFailed_ = false;
    } else {
        ++slots_;
        failed_ = false; // the file grows again
    }
    return static_cast<std::int64_t>(slot);
}

bool SpillFile::read(std::uint64_t slot, char* data)
{
    const auto at = static_cast<off_t>(slot * slotBytes_);
    std::size_t done = 0;
    while (done < slotBytes_) {
        const ssize_t n =
            ::pread(fd_, data + done, slotBytes_ - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            report("无法读回临时文件", n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void SpillFile::release(std::uint64_t slot)
{
    free_.push_back(slot);
}

void SpillFile::reset()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    failed_ = false;
    reuseFailed_ = false;
    slots_ = 0;
    std::vector<std::uint64_t>().swap(free_);
}

} // namespace quorvane
