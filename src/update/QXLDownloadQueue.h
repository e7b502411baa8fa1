#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/QXLLog.h"
#include "platform/HttpTransport.h"
#include "update/QXLDownloadMonitor.h"

class IQXLProgressWindow;

// The steps of a download list, run so that up to `lanes` fetches go on side by side while
// everything a reader or the installer sees keeps list order: each step's record runs on the
// caller's thread in list order, once its fetch and every step before it are done, after the
// log records its fetch wrote (held back until then). A record that returns false ends the
// list: no later fetch starts, later fetches in flight are stopped, and no later record runs.
// With one lane every fetch runs at once on the calling thread, as a plain loop would.
// Every call but the fetches' own is made on one thread, the caller's.
class CQXLDownloadQueue {
public:
    // Fetches one file on the given lane (0 .. lanes - 1; one fetch per lane at a time),
    // moving the bar through monitor and giving up once stop is stopped. True when it arrived.
    using Fetch = std::function<bool(std::size_t lane, CQXLDownloadMonitor& monitor,
                                     std::shared_ptr<const qxplat::HttpStop> stop)>;
    // What follows a step, given how its fetch ended (true without a fetch). False ends the
    // list.
    using Record = std::function<bool(bool arrived)>;

    // log receives the fetches' records, monitor is the bar they all move; both outlive this.
    CQXLDownloadQueue(std::size_t lanes, CQXLLog& log, CQXLDownloadMonitor& monitor);
    // Stops what still runs and waits for it.
    ~CQXLDownloadQueue();

    CQXLDownloadQueue(const CQXLDownloadQueue&) = delete;
    CQXLDownloadQueue& operator=(const CQXLDownloadQueue&) = delete;

    // Adds a step (fetch may be empty). May run the records of earlier steps, and waits while
    // too many finished steps wait for an earlier one, so that memory stays bounded.
    void Add(Fetch fetch, Record record);
    // True once a record ended the list.
    bool Ended() const { return m_ended; }
    // Runs the records of every remaining step; true when none ended the list. Returns once no
    // fetch runs any more.
    bool Finish();

    // The bar after a record: bytesDone bytes of the list are handled, the bytes of the step
    // being recorded no longer count as in flight. Only from a record.
    void Advance(std::uint32_t bytesDone);
    // Shows text as the window's status line (null: nowhere); from any fetch.
    void ShowStatus(IQXLProgressWindow* window, const std::wstring& text);

private:
    struct Step;
    class StepMonitor;

    void Work(std::size_t lane);
    void RunFetch(Step& step, std::size_t lane);
    // Runs the records of the finished steps at the front; with wait, until none is left.
    void RunRecords(std::unique_lock<std::mutex>& lock, bool wait);
    // No step after index starts; those running are stopped. Under the lock.
    void Cut(std::size_t index);
    // The bar after step's fetch received bytes of its current reply.
    void Moved(Step& step, unsigned long bytes);

    CQXLLog& m_log;
    CQXLDownloadMonitor& m_monitor;
    const std::size_t m_lanes;
    bool m_ended = false;

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Step>> m_steps; // not yet recorded, in list order
    std::size_t m_added = 0;                   // index the next step gets
    std::size_t m_cut = SIZE_MAX;              // steps after this index never start
    bool m_closing = false;
    Step* m_recording = nullptr;

    // Bar and status line: one caller at a time.
    std::mutex m_barLock;
    std::uint32_t m_inFlight = 0; // bytes received by fetched steps not yet recorded

    std::vector<std::thread> m_workers;
};
