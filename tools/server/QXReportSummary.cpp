#include "QXReportSummary.h"

#include <ctime>

CQXReportSummary::CQXReportSummary(const std::vector<SQXUpdateRecord>& records,
                                   const std::string& application, std::int64_t since,
                                   std::size_t latest) {
    for (const auto& record : records) {
        if (record.application != application || record.time < since)
            continue;
        const std::string day = UtcTime(record.time).substr(0, 10);
        if (m_days.empty() || m_days.back().day != day)
            m_days.push_back({day, 0, 0});
        ++(record.failed ? m_days.back().failed : m_days.back().done);
        if (record.failed)
            m_failures.insert(m_failures.begin(), record);
    }
    if (m_failures.size() > latest)
        m_failures.resize(latest);
}

std::string CQXReportSummary::UtcTime(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}
