#pragma once

#include <mutex>
#include <vector>

#include "platform/HttpTransport.h"
#include "platform/TransferRate.h"

namespace qxplat {

// What WinINet's status callback reports while a call runs on another thread, kept for the
// thread that waits for the call: the observer hears of it there, in order, and the bytes
// count towards the reply's rate. Safe to feed from any thread.
class StatusRelay {
public:
    // A request went out.
    void Sent();
    // count more bytes of the reply came in.
    void Received(unsigned long count);
    // A call begins: CallBytes counts again from 0.
    void StartCall();
    // The bytes reported since StartCall.
    unsigned long long CallBytes();
    // Tells observer (if not null) and rate what came in since the last time.
    void Drain(HttpReceiveObserver* observer, TransferRate& rate);
    // Nobody waits any more: whatever a call given up on still reports is dropped.
    void Forget();

private:
    struct Event {
        bool sent;
        unsigned long count;
    };

    void Push(Event event);

    std::mutex m_lock;
    std::vector<Event> m_events;
    unsigned long long m_callBytes = 0;
    bool m_forgotten = false;
};

} // namespace qxplat
