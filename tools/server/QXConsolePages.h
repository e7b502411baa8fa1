#pragma once

#include <string>
#include <vector>

#include "QXClock.h"
#include "QXReleaseStore.h"
#include "QXStorage.h"

// What the console's pages show, read from the storage and the releases at each request and
// returned as the html below the page's title. root is the console's path (BASE/admin/), csrf
// the token the page's forms carry.
class CQXConsolePages {
public:
    CQXConsolePages(IQXStorage& storage, const CQXReleaseStore& releases, const CQXClock& clock)
        : m_storage(storage), m_releases(releases), m_clock(clock) {}

    // Users per installed version of each application (as their launchers last reported it:
    // the version a finished update went to, the one a failed update came from).
    std::string Fleet();
    // Each rollout: state, audience, progress, reports, the failure rate after each report,
    // and the forms that halt, resume or set its percentage.
    std::string Rollouts(const std::string& root, const std::string& csrf);
    // Finished and failed updates per day of each application over kDays days, and the latest
    // failures with their reasons.
    std::string Outcomes();
    // Users whose name holds query (case ignored; all when empty) with their groups, and their
    // live sessions with a form that ends one.
    std::string Users(const std::string& query, const std::string& root, const std::string& csrf);

    static constexpr std::int64_t kDays = 14;

private:
    std::vector<std::string> Applications(const std::vector<SQXUpdateRecord>& records) const;
    std::string Rollout(const SQXRollout& rollout, const std::vector<SQXUpdateRecord>& records,
                        const std::string& root, const std::string& csrf);
    std::string Sessions(const std::string& query, const std::string& root,
                         const std::string& csrf);

    IQXStorage& m_storage;
    const CQXReleaseStore& m_releases;
    const CQXClock& m_clock;
};
