// The modem lines are read on a thread of the poller's own: a read that
// takes seconds (a USB request) never holds the thread that asks for them.
#include "EventWait.h"
#include "ModemLinePoller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvane {
namespace {

using test::WaitUntil;

TEST(ModemLinePoller, ASlowReadNeverHoldsTheAsker)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> reads{0};
    auto poller = std::make_unique<ModemLinePoller>(
        pipeEnds[0],
        [released, &reads](int) -> std::optional<int> {
            if (reads++ == 0) {
                released.wait(); // the first read hangs like a stalled adapter
            }
            return TIOCM_CTS;
        },
        std::chrono::milliseconds(5));
    EXPECT_FALSE(poller->last().has_value()) << "nothing read yet, and nobody waits for it";
    release.set_value();
    EXPECT_TRUE(WaitUntil([&] { return poller->last() == TIOCM_CTS; }));

    // Stopping while a read hangs returns at once too.
    std::promise<void> second;
    std::shared_future<void> secondReleased = second.get_future().share();
    std::atomic<bool> hanging{false};
    poller = std::make_unique<ModemLinePoller>(pipeEnds[0], [&, secondReleased](int) {
        hanging = true;
        secondReleased.wait();
        return std::optional<int>();
    });
    ASSERT_TRUE(WaitUntil([&] { return hanging.load(); }));
    poller.reset();
    second.set_value();
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

} // namespace
} // namespace quorvane
