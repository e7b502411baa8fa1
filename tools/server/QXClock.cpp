#include "QXClock.h"

#include <chrono>

std::int64_t CQXClock::Now() const {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::seconds>(now).count() + m_offset.load();
}
