#pragma once

#include <chrono>
#include <cstddef>

namespace qxplat {

// Tells when a transfer has become too slow: fewer bytes than the minimum over a whole window.
// Windows follow one another from Restart on; each that reaches the minimum opens the next, so
// a trickle of single bytes cannot keep a transfer alive.
class TransferRate {
public:
    using Clock = std::chrono::steady_clock;

    void SetMinimum(unsigned long bytesPerSecond, unsigned long windowMs) {
        m_window = std::chrono::milliseconds(windowMs);
        m_needed = static_cast<unsigned long long>(bytesPerSecond) * windowMs / 1000;
    }
    // Opens a first window at now, empty.
    void Restart(Clock::time_point now) {
        m_start = now;
        m_bytes = 0;
    }
    void Add(std::size_t bytes) { m_bytes += bytes; }
    // True once a window has ended with fewer bytes than the minimum.
    bool TooSlow(Clock::time_point now) {
        if (now - m_start < m_window)
            return false;
        if (m_bytes < m_needed)
            return true;
        Restart(now);
        return false;
    }

private:
    std::chrono::milliseconds m_window{30000};
    unsigned long long m_needed = 30 * 1024;
    Clock::time_point m_start = Clock::now();
    unsigned long long m_bytes = 0;
};

} // namespace qxplat
