#include "update/QXLBaseBudget.h"

void CQXLBaseBudget::Take(std::uint64_t bytes) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_given.wait(lock, [&] { return m_held == 0 || m_held + bytes <= m_bytes; });
    m_held += bytes;
}

void CQXLBaseBudget::Give(std::uint64_t bytes) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_held -= bytes;
    }
    m_given.notify_all();
}
