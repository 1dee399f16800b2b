#include "SlaveLink.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quorvane::device {

namespace {

[[noreturn]] void ThrowErrno(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

} // namespace

SlaveLink::SlaveLink(std::string linkPath, std::string target)
    : linkPath_(std::move(linkPath)), target_(std::move(target))
{
    RefuseNonLink();
    CreateInPlace();
}

SlaveLink::~SlaveLink()
{
    if (StillPointsHere()) {
        ::unlink(linkPath_.c_str());
    }
}

void SlaveLink::RefuseNonLink() const
{
    struct stat existing = {};
    if (::lstat(linkPath_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        ThrowErrno(EEXIST, "cannot link " + linkPath_ + " (not a symbolic link)");
    }
}

// The new link is made beside the old one and renamed over it, so the path
// never goes missing while a client looks it up.
void SlaveLink::CreateInPlace() const
{
    const std::string temporary = linkPath_ + ".new-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target_.c_str(), temporary.c_str()) != 0) {
        ThrowErrno(errno, "cannot link " + linkPath_);
    }
    if (::rename(temporary.c_str(), linkPath_.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        ThrowErrno(error, "cannot link " + linkPath_);
    }
}

bool SlaveLink::StillPointsHere() const
{
    std::vector<char> buffer(target_.size() + 2);
    const ssize_t length = ::readlink(linkPath_.c_str(), buffer.data(), buffer.size());
    return length >= 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == target_;
}

} // namespace quorvane::device
