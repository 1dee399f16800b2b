#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvane
{

// Makes the file that a view's old pages go to: returns a descriptor open for
// reading and writing, or -1 with errno set. Either way `where` names the
// file or its folder for a message.
using SpillOpener = std::function<int(std::string& where)>;

// A file in $XDG_CACHE_HOME/quorvane (by default ~/.cache/quorvane), unlinked
// as it is made: no other program sees it and it is gone when it is closed,
// however the program ends. The cache folder is on disk, unlike /tmp, which
// may be held in memory.
SpillOpener CacheSpillOpener();

// A temporary file of equal slots, made at the first write. Freed slots are
// written again. When the file cannot be made or written, one line naming
// the cause goes to standard error and writing stops until reset(); what
// could not be written stays with the caller.
class SpillFile
{
public:
    SpillFile(std::size_t slotBytes, SpillOpener opener);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Writes one slot and returns its number, or -1 when the file failed.
    std::int64_t write(const char* data);
    // Reads a slot back; false (and one line to standard error) on failure.
    bool read(std::uint64_t slot, char* data);
    void release(std::uint64_t slot);
    // Closes the file, which gives its space back; the next write makes a
    // new one.
    void reset();
    bool failed() const { return failed_; }

private:
    bool open();
    void report(const char* what, int error);

    std::size_t slotBytes_;
    SpillOpener opener_;
    int fd_ = -1;
    bool failed_ = false;
    bool reported_ = false; // one line per view at most
    std::string where_;
    std::uint64_t slots_ = 0;
    std::vector<std::uint64_t> free_;
};

} // namespace quorvane
