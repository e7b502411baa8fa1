#pragma once

#include <atomic>
#include <cstdint>

// The server's notion of now, in whole seconds since the epoch. Tests move it forward through
// the fault channel so that session and password lifetimes can be checked without waiting.
class CQXClock {
public:
    std::int64_t Now() const;
    // Adds seconds to every later Now(); safe from any thread.
    void Advance(std::int64_t seconds) { m_offset += seconds; }

private:
    std::atomic<std::int64_t> m_offset{0};
};
