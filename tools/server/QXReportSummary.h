#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "QXStorage.h"

// The update reports of one application over a span of days: finished and failed updates
// per day (UTC) and the latest failures, for the reports command and whatever shows them.
class CQXReportSummary {
public:
    struct SDay {
        std::string day; // YYYY-MM-DD
        std::int64_t done = 0;
        std::int64_t failed = 0;
    };

    // records oldest first (as IQXStorage::Updates gives them); those of the application made
    // at since or later count, at most latest failures are kept.
    CQXReportSummary(const std::vector<SQXUpdateRecord>& records, const std::string& application,
                     std::int64_t since, std::size_t latest);

    // Days with reports, oldest first.
    const std::vector<SDay>& Days() const { return m_days; }
    // Newest first.
    const std::vector<SQXUpdateRecord>& LatestFailures() const { return m_failures; }

    // "YYYY-MM-DDTHH:MM:SSZ" of a time in seconds since the epoch.
    static std::string UtcTime(std::int64_t time);

private:
    std::vector<SDay> m_days;
    std::vector<SQXUpdateRecord> m_failures;
};
