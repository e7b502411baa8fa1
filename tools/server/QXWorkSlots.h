#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

// A bound on how many threads do one kind of CPU work at once (the TLS handshakes' key
// operations): with a thread per connection, a burst of handshakes would otherwise run all at
// once, each slowed by all the others (and by the crypto library's locks) until none finishes
// in time. Work beyond the bound waits its turn.
class CQXWorkSlots {
public:
    // count: at least 1.
    explicit CQXWorkSlots(std::size_t count) : m_free(count ? count : 1) {}

    // Holds one slot while it lives.
    class CSlot {
    public:
        explicit CSlot(CQXWorkSlots& slots);
        ~CSlot();
        CSlot(const CSlot&) = delete;
        CSlot& operator=(const CSlot&) = delete;

    private:
        CQXWorkSlots& m_slots;
    };

private:
    std::mutex m_mutex;
    std::condition_variable m_freed;
    std::size_t m_free;
};
