#include "protocol/QXLDownloadMonitor.h"

#include <cmath>
#include <cstdint>

void CQXLDownloadMonitor::Progress(unsigned long bytes) const {
    if (m_window == nullptr)
        return;
    const auto total = static_cast<std::uint32_t>(static_cast<std::uint32_t>(m_done) + bytes);
    m_window->SetPosition(static_cast<int>(std::ceil(m_scale * total)) + m_base);
}
