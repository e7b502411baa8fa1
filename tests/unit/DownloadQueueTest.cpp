#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "base/QXEvent.h"
#include "support/TestLog.h"
#include "update/QXLDownloadQueue.h"

namespace {

using Stop = std::shared_ptr<const qxplat::HttpStop>;
constexpr std::chrono::seconds kLongEnough(30);

} // namespace

// Fetches that end in another order than the list's: their log records and the records after
// them still come in list order.
TEST(DownloadQueueTest, RecordsAndLogKeepListOrderWhenFetchesEndOutOfOrder) {
    TestLog log;
    CQXLDownloadMonitor monitor;
    CQXEvent secondDone;
    std::vector<int> recorded;
    CQXLDownloadQueue queue(2, log.Log(), monitor);
    queue.Add(
        [&](std::size_t, CQXLDownloadMonitor&, Stop) {
            EXPECT_TRUE(secondDone.WaitFor(kLongEnough));
            log.Log().LogProduction(L"first fetched");
            return true;
        },
        [&](bool) { return recorded.push_back(0), true; });
    queue.Add(
        [&](std::size_t, CQXLDownloadMonitor&, Stop) {
            log.Log().LogProduction(L"second fetched");
            secondDone.Set();
            return true;
        },
        [&](bool) { return recorded.push_back(1), true; });
    queue.Add(nullptr, [&](bool) { return recorded.push_back(2), true; });

    EXPECT_TRUE(queue.Finish());
    EXPECT_EQ(recorded, (std::vector<int>{0, 1, 2}));
    const std::string text = log.Text();
    ASSERT_NE(text.find("second fetched"), std::string::npos);
    EXPECT_LT(text.find("first fetched"), text.find("second fetched"));
}

// A fetch that fails ends the list: the later fetch in flight is stopped, none starts after
// it, and neither its records nor its log lines appear.
TEST(DownloadQueueTest, AFailedFetchStopsTheLaterOnesAndRecordsNothingAfterIt) {
    TestLog log;
    CQXLDownloadMonitor monitor;
    CQXEvent secondRunning;
    std::vector<int> recorded;
    CQXLDownloadQueue queue(2, log.Log(), monitor);
    queue.Add(
        [&](std::size_t, CQXLDownloadMonitor&, Stop) {
            EXPECT_TRUE(secondRunning.WaitFor(kLongEnough));
            log.Log().LogError(L"first failed");
            return false;
        },
        [&](bool arrived) { return recorded.push_back(arrived ? 0 : -1), arrived; });
    queue.Add(
        [&](std::size_t, CQXLDownloadMonitor&, Stop stop) {
            log.Log().LogWarning(L"second in flight");
            secondRunning.Set();
            while (!stop->IsStopped())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return true;
        },
        [&](bool) { return recorded.push_back(1), true; });
    queue.Add(
        [&](std::size_t, CQXLDownloadMonitor&, Stop) {
            ADD_FAILURE() << "a fetch after the failed one started";
            return true;
        },
        [&](bool) { return recorded.push_back(2), true; });

    EXPECT_FALSE(queue.Finish());
    EXPECT_TRUE(queue.Ended());
    EXPECT_EQ(recorded, std::vector<int>{-1});
    EXPECT_TRUE(log.Contains("first failed"));
    EXPECT_FALSE(log.Contains("second in flight"));
}
