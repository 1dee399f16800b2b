#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quorvane::test {

// Watches a stretch of code that must not wait for something the test
// holds (a close, a driver's queue): if finish() has not been called after a
// while, rescue() runs on the watchdog's thread to set it free, and finish()
// reports that it had to. A fault then fails the test instead of hanging it.
class Watchdog {
public:
    explicit Watchdog(std::function<void()> rescue,
                      std::chrono::milliseconds patience = std::chrono::seconds(10))
        : thread_([this, rescue = std::move(rescue), patience] {
              std::unique_lock lock(mutex_);
              if (finishedCv_.wait_for(lock, patience, [this] { return finished_; })) {
                  return;
              }
              rescued_ = true;
              lock.unlock();
              rescue();
          })
    {
    }
    ~Watchdog() { finish(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Whether the watched code had to be set free.
    bool finish()
    {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        finishedCv_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        return rescued_;
    }

private:
    std::mutex mutex_;
    std::condition_variable finishedCv_;
    bool finished_ = false;
    std::atomic<bool> rescued_{false};
    std::thread thread_; // last: it starts once everything above is made
};

} // namespace quorvane::test
