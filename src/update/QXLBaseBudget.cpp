#include "update/QXLBaseBudget.h"

void CQXLBaseBudget::Take(std::uint64_t bytes) {
    std::unique_lock<std::mutex> lock(m_lock);
    // Compared without a sum: a size from the server's list may be as large as it likes.
    m_given.wait(lock,
                 [&] { return m_held == 0 || (m_held <= m_bytes && bytes <= m_bytes - m_held); });
    m_held += bytes;
}

void CQXLBaseBudget::Give(std::uint64_t bytes) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_held -= bytes;
    }
    m_given.notify_all();
}
