#include "platform/win32/StatusRelay.h"

namespace qxplat {

void StatusRelay::Sent() { Push({true, 0}); }

void StatusRelay::Received(unsigned long count) { Push({false, count}); }

void StatusRelay::StartCall() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_callBytes = 0;
}

unsigned long long StatusRelay::CallBytes() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_callBytes;
}

void StatusRelay::Drain(HttpReceiveObserver* observer, TransferRate& rate) {
    std::vector<Event> events;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        events.swap(m_events);
    }
    // Told outside the lock: the observer may take its time (a progress bar waits for its
    // window).
    for (const Event& event : events) {
        if (!event.sent)
            rate.Add(event.count);
        if (observer != nullptr && event.sent)
            observer->RequestSent();
        else if (observer != nullptr)
            observer->BytesReceived(event.count);
    }
}

void StatusRelay::Forget() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_forgotten = true;
    m_events.clear();
}

void StatusRelay::Push(Event event) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_forgotten)
        return;
    m_events.push_back(event);
    m_callBytes += event.count;
}

} // namespace qxplat
