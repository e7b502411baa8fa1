#include "update/QXLDownloadQueue.h"

#include "ui/QXLProgressWindow.h"

namespace {

// Finished steps that may wait for an earlier one before Add waits too: each holds little
// more than its log records, so memory stays flat however long the list.
constexpr std::size_t kWaitingSteps = 64;

} // namespace

struct CQXLDownloadQueue::Step {
    enum class State { Waiting, Running, Done };

    std::size_t index = 0;
    Fetch fetch;
    Record record;
    State state = State::Done;
    bool arrived = true;
    SQXLLogCapture capture;
    std::shared_ptr<qxplat::HttpStop> stop = std::make_shared<qxplat::HttpStop>();
    std::uint32_t bytes = 0; // of the reply in flight, under the bar's lock
};

// Hands the bytes of one step's fetch to the queue, which adds those of the other fetches.
class CQXLDownloadQueue::StepMonitor final : public CQXLDownloadMonitor {
public:
    StepMonitor(CQXLDownloadQueue& queue, Step& step) : m_queue(queue), m_step(step) {}
    void Progress(unsigned long bytes) const override { m_queue.Moved(m_step, bytes); }

private:
    CQXLDownloadQueue& m_queue;
    Step& m_step;
};

CQXLDownloadQueue::CQXLDownloadQueue(std::size_t lanes, CQXLLog& log, CQXLDownloadMonitor& monitor)
    : m_log(log), m_monitor(monitor), m_lanes(lanes < 1 ? 1 : lanes) {
    if (m_lanes > 1)
        for (std::size_t lane = 0; lane < m_lanes; ++lane)
            m_workers.emplace_back(&CQXLDownloadQueue::Work, this, lane);
}

CQXLDownloadQueue::~CQXLDownloadQueue() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closing = true;
        Cut(0);
        for (const auto& step : m_steps)
            step->stop->Stop();
    }
    m_changed.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

void CQXLDownloadQueue::Add(Fetch fetch, Record record) {
    if (m_ended)
        return;
    auto step = std::make_unique<Step>();
    step->fetch = std::move(fetch);
    step->record = std::move(record);
    if (m_lanes == 1) {
        // One lane is the plain loop: fetch, then record, with nothing held back.
        if (step->fetch)
            RunFetch(*step, 0);
        m_recording = step.get();
        m_ended = !step->record(step->arrived);
        m_recording = nullptr;
        return;
    }
    std::unique_lock<std::mutex> lock(m_lock);
    step->index = m_added++;
    if (step->fetch)
        step->state = Step::State::Waiting;
    m_steps.push_back(std::move(step));
    m_changed.notify_all();
    while (!m_ended && m_steps.size() > kWaitingSteps + m_lanes)
        RunRecords(lock, true);
    RunRecords(lock, false);
}

bool CQXLDownloadQueue::Finish() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_ended && !m_steps.empty())
        RunRecords(lock, true);
    // After the end, the fetches still running were stopped: wait for them before they go.
    m_changed.wait(lock, [this] {
        for (const auto& step : m_steps)
            if (step->state == Step::State::Running)
                return false;
        return true;
    });
    m_steps.clear();
    return !m_ended;
}

void CQXLDownloadQueue::RunRecords(std::unique_lock<std::mutex>& lock, bool wait) {
    while (!m_ended && !m_steps.empty()) {
        Step& front = *m_steps.front();
        if (front.state == Step::State::Waiting && front.index > m_cut) {
            // Only a failed fetch cuts the list; its own record is the one that ends it.
            m_ended = true;
            break;
        }
        if (front.state != Step::State::Done) {
            if (!wait)
                return;
            m_changed.wait(lock);
            continue;
        }
        std::unique_ptr<Step> step = std::move(m_steps.front());
        m_steps.pop_front();
        lock.unlock();
        m_log.WriteCaptured(step->capture);
        m_recording = step.get();
        const bool goOn = step->record(step->arrived);
        m_recording = nullptr;
        lock.lock();
        if (!goOn) {
            m_ended = true;
            Cut(step->index);
        }
        wait = false;
    }
}

void CQXLDownloadQueue::Cut(std::size_t index) {
    if (index < m_cut)
        m_cut = index;
    for (const auto& step : m_steps)
        if (step->index > m_cut && step->state == Step::State::Running)
            step->stop->Stop();
}

void CQXLDownloadQueue::Work(std::size_t lane) {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        Step* next = nullptr;
        m_changed.wait(lock, [&] {
            for (const auto& step : m_steps)
                if (step->state == Step::State::Waiting && step->index <= m_cut) {
                    next = step.get();
                    break;
                }
            return m_closing || next != nullptr;
        });
        if (m_closing)
            return;
        next->state = Step::State::Running;
        lock.unlock();
        RunFetch(*next, lane);
        lock.lock();
        next->state = Step::State::Done;
        if (!next->arrived)
            Cut(next->index);
        m_changed.notify_all();
    }
}

void CQXLDownloadQueue::RunFetch(Step& step, std::size_t lane) {
    // Side by side, a fetch's records wait for their turn in the list.
    if (m_lanes > 1)
        CQXLLog::CaptureThread(&step.capture);
    StepMonitor monitor(*this, step);
    step.arrived = step.fetch(lane, monitor, step.stop);
    CQXLLog::CaptureThread(nullptr);
}

void CQXLDownloadQueue::Moved(Step& step, unsigned long bytes) {
    std::lock_guard<std::mutex> lock(m_barLock);
    const auto now = static_cast<std::uint32_t>(bytes);
    m_inFlight = static_cast<std::uint32_t>(m_inFlight - step.bytes + now);
    step.bytes = now;
    m_monitor.Progress(m_inFlight);
}

void CQXLDownloadQueue::Advance(std::uint32_t bytesDone) {
    std::lock_guard<std::mutex> lock(m_barLock);
    if (m_recording != nullptr) {
        m_inFlight = static_cast<std::uint32_t>(m_inFlight - m_recording->bytes);
        m_recording->bytes = 0;
    }
    m_monitor.SetDone(static_cast<int>(bytesDone));
    m_monitor.Progress(m_inFlight);
}

void CQXLDownloadQueue::ShowStatus(IQXLProgressWindow* window, const std::wstring& text) {
    std::lock_guard<std::mutex> lock(m_barLock);
    if (window != nullptr)
        window->SetStatusText(text);
}
