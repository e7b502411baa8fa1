#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// A manual-reset event: once set it stays set, releasing every waiter, until it is reset.
// Any thread may call any operation.
class CQXEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is set or the time is up; true when it is set.
    bool WaitFor(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_set = false;
};
