#include <atomic>
#include <glib.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "shell/gtk/QXLGtkMainThread.h"

namespace {

// Turns the main context, as the message loop does, until done is set.
void Serve(const std::atomic<bool>& done) {
    while (!done)
        g_main_context_iteration(g_main_context_default(), FALSE);
}

} // namespace

TEST(GtkMainThreadTest, RunsEveryThreadsWorkOnTheMainThreadAndReturnsWhenDone) {
    CQXLGtkMainThread::Claim();
    const std::thread::id mainThread = std::this_thread::get_id();

    // On the main thread the work runs at once, with no loop turning.
    bool ranAtOnce = false;
    CQXLGtkMainThread::Run([&] { ranAtOnce = true; });
    EXPECT_TRUE(ranAtOnce);

    constexpr int kThreads = 3;
    constexpr int kCalls = 50;
    std::atomic<int> offMainThread{0};
    std::atomic<int> unseenResults{0};
    std::atomic<int> finished{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&] {
            EXPECT_FALSE(CQXLGtkMainThread::IsCurrent());
            for (int i = 0; i < kCalls; ++i) {
                int result = -1;
                CQXLGtkMainThread::Run([&] {
                    if (std::this_thread::get_id() != mainThread)
                        ++offMainThread;
                    result = i;
                });
                // The call has returned: its result is there.
                if (result != i)
                    ++unseenResults;
            }
            if (++finished == kThreads)
                done = true;
        });
    }
    Serve(done);
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(offMainThread, 0);
    EXPECT_EQ(unseenResults, 0);
}

TEST(GtkMainThreadTest, WaitingOnTheMainThreadStillServesTheThreadWaitedFor) {
    CQXLGtkMainThread::Claim();
    // A download thread that reports to a window before it ends, and a main thread that waits
    // for its end: a plain join would never return.
    int reports = 0;
    std::thread download([&] {
        for (int i = 0; i < 3; ++i)
            CQXLGtkMainThread::Run([&] { ++reports; });
    });
    CQXLGtkMainThread::WaitServing([&] { download.join(); });
    EXPECT_EQ(reports, 3);

    // Off the main thread it is a plain call.
    std::thread other([] {
        bool called = false;
        CQXLGtkMainThread::WaitServing([&] { called = true; });
        EXPECT_TRUE(called);
    });
    other.join();
}
