#include "ModemLinePoller.h"

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace quorvane {

struct ModemLinePoller::State {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool ended = false; // the thread has closed its descriptor
    std::optional<int> lines;
};

namespace {

// How long the owner waits for the thread to close its descriptor: it is
// nearly always asleep between reads and ends at once; a read hung on a USB
// adapter is not waited for.
constexpr std::chrono::milliseconds kMostEndWait{50};

} // namespace

ModemLinePoller::ModemLinePoller(int fd, Reader reader, std::chrono::milliseconds every)
    : state_(std::make_shared<State>())
{
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        state_->ended = true;
        return; // no lines to show: the panel says so
    }
    std::thread([state = state_, own, reader = std::move(reader), every] {
        std::unique_lock lock(state->mutex);
        while (!state->stop) {
            lock.unlock();
            const std::optional<int> lines = reader(own);
            lock.lock();
            state->lines = lines;
            state->wake.wait_for(lock, every, [&] { return state->stop; });
        }
        lock.unlock();
        ::close(own);
        lock.lock();
        state->ended = true;
        state->wake.notify_all();
    }).detach();
}

ModemLinePoller::~ModemLinePoller()
{
    std::unique_lock lock(state_->mutex);
    state_->stop = true;
    state_->wake.notify_all();
    // The device's descriptor is let go with the port, as a rule.
    state_->wake.wait_for(lock, kMostEndWait, [&] { return state_->ended; });
}

std::optional<int> ModemLinePoller::last() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->lines;
}

} // namespace quorvane
