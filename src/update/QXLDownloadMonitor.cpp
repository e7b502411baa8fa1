#include "update/QXLDownloadMonitor.h"

#include <climits>
#include <cmath>
#include <cstdint>

void CQXLDownloadMonitor::Progress(unsigned long bytes) const {
    if (m_window == nullptr)
        return;
    const auto total = static_cast<std::uint32_t>(static_cast<std::uint32_t>(m_done) + bytes);
    // The scale comes from the server's file sizes: a tiny total makes it huge. Keep the step
    // a number that an int holds, so the position stays defined.
    const double step = std::ceil(m_scale * total);
    if (!std::isfinite(step))
        return;
    const double limit = static_cast<double>(INT_MAX) - m_base;
    m_window->SetPosition(static_cast<int>(step < 0 ? 0 : step > limit ? limit : step) + m_base);
}
