#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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
// written again. The file holds at most a cap of bytes: by default a quarter
// of what its file system had free when it was first made, and never more
// than 16 GiB; slots past the cap are refused.
//
// When the file cannot be made or written, one line naming the cause goes to
// standard error and the file is tried again at most once a minute (or after
// reset()); meanwhile only freed slots are written. What could not be written
// stays with the caller.
class SpillFile
{
public:
    // Why writes are refused now.
    enum class Refusal { None, Unwritable, Full };
    static constexpr std::uint64_t kMostBytes = std::uint64_t{16} << 30;
    static constexpr std::chrono::seconds kRetryAfter{60};
    using Clock = std::chrono::steady_clock;

    // capBytes: the most the file may hold; none for the default.
    SpillFile(std::size_t slotBytes, SpillOpener opener,
              std::optional<std::uint64_t> capBytes = std::nullopt);
    ~SpillFile();
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Writes one slot and returns its number, or -1 (refusal() says why).
    std::int64_t write(const char* data);
    // Whether a write may be tried now.
    bool canWrite() const;
    Refusal refusal() const;
    // Reads a slot back; false (and one line to standard error) on failure,
    // with the bytes undefined.
    bool read(std::uint64_t slot, char* data);
    void release(std::uint64_t slot);
    // Closes the file, which gives its space back; the next write makes a
    // new one.
    void reset();
    // Where the time for the next try comes from (the steady clock, but in
    // tests).
    void setClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

private:
    bool open();
    void fail(const char* what, int error, bool reusing);
    void report(const char* what, int error);
    std::uint64_t capSlots() const;

    std::size_t slotBytes_;
    SpillOpener opener_;
    std::optional<std::uint64_t> capBytes_; // measured at the first open if not given
    int fd_ = -1;
    bool failed_ = false;      // making or growing the file failed
    bool reuseFailed_ = false; // so did writing a freed slot
    Clock::time_point retryAt_;
    std::function<Clock::time_point()> now_ = Clock::now;
    bool reported_ = false; // one line per view at most
    std::string where_;
    std::uint64_t slots_ = 0;
    std::vector<std::uint64_t> free_;
};

} // namespace quorvane
