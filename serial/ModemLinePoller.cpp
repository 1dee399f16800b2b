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
    std::optional<int> lines;
};

ModemLinePoller::ModemLinePoller(int fd, Reader reader, std::chrono::milliseconds every)
    : state_(std::make_shared<State>())
{
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
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
    }).detach();
}

ModemLinePoller::~ModemLinePoller()
{
    {
        const std::lock_guard lock(state_->mutex);
        state_->stop = true;
    }
    state_->wake.notify_all();
}

std::optional<int> ModemLinePoller::last() const
{
    const std::lock_guard lock(state_->mutex);
    return state_->lines;
}

} // namespace quorvane
