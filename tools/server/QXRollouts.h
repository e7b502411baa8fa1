#pragma once

#include <optional>
#include <string>
#include <vector>

#include "QXClock.h"
#include "QXStorage.h"
#include "QXUserGroups.h"

// The staged releases of every application, kept in the storage, and the update reports that
// may stop them. Used by the services (who gets which version, reports) and by the
// administration commands alike; every server sharing the storage answers alike.
class CQXRollouts {
public:
    CQXRollouts(IQXStorage& storage, const CQXClock& clock);

    // The version the application's running rollout gives the user; empty when none runs or
    // the user is not in its audience.
    std::string VersionFor(const std::string& application, const std::string& user) const;
    // Stores an update report, stamped with the time now. When it brings the running rollout of its
    // version to its failure threshold, halts the rollout and returns why (empty otherwise).
    std::string Record(SQXUpdateRecord record);

    // Members of one of the rollout's groups (case ignored), and users whose bucket lies
    // below its percent.
    static bool InAudience(const SQXRollout& rollout, const std::string& user,
                           const std::vector<std::string>& groups);
    // The user's bucket (0 to 99) for the application: the same on every server and run, and
    // independent between applications.
    static int Bucket(const std::string& user, const std::string& application);
    // Why a rollout cannot start, or an empty reason when it can. malformed marks a request
    // that names no audience, or a failure threshold without its minimum of reports (or the
    // reverse); otherwise the site refuses it: the version has no folder, or current runs.
    struct SStartRefusal {
        std::string reason;
        bool malformed = false;
    };
    static SStartRefusal CheckStart(const SQXRollout& rollout, bool versionExists,
                                    const std::optional<SQXRollout>& current);
    // An administrator's halt, resume or set (to percent) of the rollout at now: empty when
    // done, else why it is refused (a finished rollout, a halt of one not running, a resume
    // of one not halted, a percentage outside 0 to 100). A resumed rollout counts reports
    // afresh from now.
    static std::string Steer(SQXRollout& rollout, const std::string& action, int percent,
                             std::int64_t now);
    // The halt's reason when counts reach the rollout's threshold; empty otherwise.
    static std::string HaltReason(const SQXRollout& rollout, const SQXReportCounts& counts);

private:
    IQXStorage& m_storage;
    CQXUserGroups m_groups;
    const CQXClock& m_clock;
};
