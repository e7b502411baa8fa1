#include "platform/win32/InternetCallThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace qxplat {

namespace {

constexpr std::chrono::milliseconds kPoll{50};

} // namespace

// Shared by the caller and the thread, so that a thread left in a call finds it still there.
struct InternetCallThread::State {
    std::mutex lock;
    std::condition_variable changed;
    std::function<void()> call; // the call to run, empty when none waits
    bool done = false;          // the last call has returned
    bool quit = false;
};

void InternetCallThread::Serve(const std::shared_ptr<State>& state) {
    std::unique_lock<std::mutex> lock(state->lock);
    for (;;) {
        state->changed.wait(lock, [&] { return state->call || state->quit; });
        if (!state->call)
            return;
        std::function<void()> call = std::move(state->call);
        state->call = nullptr;
        lock.unlock();
        call();
        // What the call holds goes here, on this thread, also after the caller gave up.
        call = nullptr;
        lock.lock();
        state->done = true;
        state->changed.notify_all();
    }
}

InternetCallThread::InternetCallThread() : m_state(std::make_shared<State>()) {}

InternetCallThread::~InternetCallThread() {
    {
        std::lock_guard<std::mutex> lock(m_state->lock);
        m_state->quit = true;
        m_state->changed.notify_all();
    }
    if (!m_thread.joinable())
        return;
    if (m_givenUp)
        m_thread.detach();
    else
        m_thread.join();
}

bool InternetCallThread::Run(std::function<void()> call, const std::function<bool()>& keepWaiting) {
    if (m_givenUp)
        return false;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([state = m_state] { Serve(state); });
        } catch (const std::system_error&) {
            call();
            return true;
        }
    }
    std::unique_lock<std::mutex> lock(m_state->lock);
    m_state->call = std::move(call);
    m_state->done = false;
    m_state->changed.notify_all();
    while (!m_state->changed.wait_for(lock, kPoll, [&] { return m_state->done; })) {
        lock.unlock();
        const bool keep = keepWaiting();
        lock.lock();
        if (!keep && !m_state->done) {
            m_givenUp = true;
            return false;
        }
    }
    return true;
}

} // namespace qxplat
