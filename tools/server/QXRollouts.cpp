#include "QXRollouts.h"

#include <algorithm>
#include <cstdint>
#include <strings.h>

CQXRollouts::CQXRollouts(IQXStorage& storage, const CQXClock& clock)
    : m_storage(storage), m_groups(storage), m_clock(clock) {}

std::string CQXRollouts::VersionFor(const std::string& application, const std::string& user) const {
    const auto rollout = m_storage.FindRollout(application);
    if (!rollout || rollout->state != "running")
        return std::string();
    // Groups cost a query or two: read them only when a group could let the user in.
    const bool byGroup = !rollout->groups.empty() && !InAudience(*rollout, user, {});
    const auto groups = byGroup ? m_groups.Get(user) : std::vector<std::string>();
    return InAudience(*rollout, user, groups) ? rollout->version : std::string();
}

std::string CQXRollouts::Record(SQXUpdateRecord record) {
    record.time = m_clock.Now();
    m_storage.AddUpdate(record);
    const auto rollout = m_storage.FindRollout(record.application);
    if (!record.failed || !rollout || rollout->state != "running" ||
        rollout->version != record.version)
        return std::string();
    const SQXReportCounts counts =
        m_storage.CountReports(record.application, record.version, rollout->started);
    std::string reason = HaltReason(*rollout, counts);
    if (reason.empty())
        return reason;
    reason += "; the last at " + record.stage + ": " + record.reason;
    return m_storage.HaltRollout(record.application, reason) ? reason : std::string();
}

bool CQXRollouts::InAudience(const SQXRollout& rollout, const std::string& user,
                             const std::vector<std::string>& groups) {
    for (const auto& group : groups) {
        for (const auto& named : rollout.groups)
            if (strcasecmp(group.c_str(), named.c_str()) == 0)
                return true;
    }
    return Bucket(user, rollout.application) < rollout.percent;
}

int CQXRollouts::Bucket(const std::string& user, const std::string& application) {
    // FNV-1a over the user key and the application, then a final mix so that the low
    // digits spread evenly.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const unsigned char c : UserKey(user) + '\n' + application) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    hash ^= hash >> 33;
    return static_cast<int>(hash % 100);
}

std::string CQXRollouts::HaltReason(const SQXRollout& rollout, const SQXReportCounts& counts) {
    const std::int64_t total = counts.done + counts.failed;
    if (rollout.haltPercent <= 0 || total == 0 || total < rollout.minReports ||
        counts.failed * 100 < rollout.haltPercent * total)
        return std::string();
    return std::to_string(counts.failed) + " of " + std::to_string(total) + " reports of " +
           rollout.version + " failed (" + std::to_string(counts.failed * 100 / total) +
           " %, the limit is " + std::to_string(rollout.haltPercent) + " % of at least " +
           std::to_string(rollout.minReports) + ")";
}

std::string CQXRollouts::Steer(SQXRollout& rollout, const std::string& action, int percent,
                               std::int64_t now) {
    const std::string was = rollout.state;
    if (was == "finished")
        return "the rollout of " + rollout.version + " is finished";
    if (action == "set") {
        if (percent < 0 || percent > 100)
            return "the percentage must be a whole number from 0 to 100";
        rollout.percent = percent;
    } else if (action == "halt" && was == "running") {
        rollout.state = "halted";
        rollout.reason = "halted by an administrator";
    } else if (action == "resume" && was == "halted") {
        // Failures before the halt are not held against the resumed rollout.
        rollout.state = "running";
        rollout.reason.clear();
        rollout.started = now;
    } else {
        return "the rollout of " + rollout.version + " is " + was;
    }
    return std::string();
}

CQXRollouts::SStartRefusal CQXRollouts::CheckStart(const SQXRollout& r, bool versionExists,
                                                   const std::optional<SQXRollout>& current) {
    if ((r.haltPercent == 0) != (r.minReports == 0))
        return {"a failure threshold and its minimum of reports go together", true};
    if (r.groups.empty() && r.percent == 0)
        return {"a rollout needs an audience: a group or a percentage", true};
    if (!versionExists)
        return {r.application + " has no version " + r.version + " (no folder releases/" +
                    r.application + "/" + r.version + "/)",
                false};
    if (current && current->state == "running")
        return {"the rollout of " + current->version + " runs; halt or finish it first", false};
    return {};
}
