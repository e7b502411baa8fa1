#include "QXConsolePages.h"

#include <algorithm>
#include <map>
#include <set>

#include "QXAdminStore.h"
#include "QXHtml.h"
#include "QXReportSummary.h"
#include "QXRollouts.h"
#include "QXUserGroups.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using H = CQXHtml;

constexpr std::int64_t kSecondsPerDay = 86400;
// The longest lists a page shows: failures, failure-rate points, users and sessions.
constexpr std::size_t kLatestFailures = 20;
constexpr std::size_t kRatePoints = 40;
constexpr std::size_t kMaxListed = 200;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Time(std::int64_t time) { return H::Escape(CQXReportSummary::UtcTime(time)); }

std::string Groups(const std::vector<std::string>& groups) {
    return groups.empty() ? "-" : H::Escape(JoinGroups(groups));
}

std::string Percent(std::int64_t part, std::int64_t whole) {
    return whole == 0 ? "-" : std::to_string(part * 100 / whole);
}

} // namespace

std::vector<std::string>
CQXConsolePages::Applications(const std::vector<SQXUpdateRecord>& records) const {
    std::set<std::string> names;
    for (const auto& name : m_releases.Applications())
        names.insert(name);
    for (const auto& record : records)
        names.insert(record.application);
    return {names.begin(), names.end()};
}

std::string CQXConsolePages::Fleet() {
    const auto records = m_storage.Updates();
    // application -> user key -> installed version; later reports replace earlier ones.
    std::map<std::string, std::map<std::string, std::string>> installed;
    for (const auto& r : records) {
        const std::string& version = r.failed ? r.fromVersion : r.version;
        if (!version.empty())
            installed[r.application][UserKey(r.user)] = version;
    }
    std::string html = "<p>Users per installed version, as their launchers last reported "
                       "it (a finished update's version, a failed update's starting one).</p>";
    for (const auto& application : Applications(records)) {
        std::map<std::string, std::int64_t> counts;
        for (const auto& [user, version] : installed[application])
            ++counts[version];
        Rows rows;
        for (const auto& [version, count] : counts)
            rows.push_back({H::Escape(version), std::to_string(count)});
        const auto rollout = m_storage.FindRollout(application);
        html += "<h2>" + H::Escape(application) + "</h2><p>Site version: " +
                H::Escape(m_releases.Assignment(application, std::string()).version);
        if (rollout && rollout->state != "finished")
            html +=
                "; rollout of " + H::Escape(rollout->version) + ": " + H::Escape(rollout->state);
        html += "</p>" + H::Table({"Version", "Users"}, rows, "bars");
    }
    return html;
}

std::string CQXConsolePages::Rollouts(const std::string& root, const std::string& csrf) {
    const auto records = m_storage.Updates();
    std::string html;
    for (const auto& rollout : m_storage.ListRollouts())
        html += Rollout(rollout, records, root, csrf);
    if (html.empty())
        html = "<p>No rollout has been started.</p>";
    return html + "<h2>Start a rollout</h2>" +
           H::Form(root + "rollouts/start", csrf, {},
                   H::Select("Application", "app", m_releases.Applications()) +
                       H::Input("Version", "version", "") +
                       H::Input("Groups (G1,G2)", "groups", "") +
                       H::Input("Percentage of users", "start-percent", "0", "number") + "<br>" +
                       H::Input("Halt at failures (%)", "halt", "", "number") +
                       H::Input("of at least (reports)", "min", "", "number"),
                   "Start rollout");
}

std::string CQXConsolePages::Rollout(const SQXRollout& r,
                                     const std::vector<SQXUpdateRecord>& records,
                                     const std::string& root, const std::string& csrf) {
    // Progress: audience members known here who reported a finished update to the version.
    const CQXUserGroups groups(m_storage);
    std::int64_t audience = 0;
    for (const auto& user : m_storage.ListUsers())
        audience += CQXRollouts::InAudience(r, user.name, groups.Get(user.name)) ? 1 : 0;
    std::set<std::string> updated;
    Rows rate;
    std::int64_t done = 0, failed = 0;
    for (const auto& record : records) {
        if (record.application != r.application || record.version != r.version ||
            record.time < r.started)
            continue;
        ++(record.failed ? failed : done);
        if (!record.failed)
            updated.insert(UserKey(record.user));
        rate.push_back({Time(record.time), Percent(failed, done + failed)});
    }
    if (rate.size() > kRatePoints)
        rate.erase(rate.begin(), rate.end() - kRatePoints);
    const std::string threshold = r.haltPercent == 0
                                      ? "none"
                                      : std::to_string(r.haltPercent) + " % of at least " +
                                            std::to_string(r.minReports) + " reports";
    Rows facts = {{"State", "<span class=\"state-" + H::Escape(r.state) + "\" id=\"state-" +
                                H::Escape(r.application) + "\">" + H::Escape(r.state) + "</span>"},
                  {"Version", H::Escape(r.version)},
                  {"Audience", "groups " + Groups(r.groups) + ", " + std::to_string(r.percent) +
                                   " % of users (" + std::to_string(audience) + " known users)"},
                  {"Progress",
                   std::to_string(updated.size()) + " of " + std::to_string(audience) + " updated"},
                  {"Reports since " + Time(r.started),
                   std::to_string(done) + " succeeded, " + std::to_string(failed) + " failed (" +
                       Percent(failed, done + failed) + " % failed)"},
                  {"Halts itself at", threshold}};
    if (!r.reason.empty())
        facts.push_back({"Why it halted", "<span id=\"reason-" + H::Escape(r.application) + "\">" +
                                              H::Escape(r.reason) + "</span>"});
    std::string html = "<h2>" + H::Escape(r.application) + "</h2>" + H::Table({}, facts);
    const CQXHtml::Fields app = {{"app", r.application}};
    if (r.state == "running")
        html += H::Form(root + "rollouts/halt", csrf, app, "", "Halt");
    if (r.state == "halted")
        html += H::Form(root + "rollouts/resume", csrf, app, "", "Resume");
    if (r.state != "finished")
        html +=
            H::Form(root + "rollouts/percent", csrf, app,
                    H::Input("Percentage of users", "percent", std::to_string(r.percent), "number"),
                    "Set percentage");
    return html + "<h2>Failure rate of " + H::Escape(r.application) + " " + H::Escape(r.version) +
           " after each report</h2>" + H::Table({"Report", "Failed (%)"}, rate, "lines");
}

std::string CQXConsolePages::Outcomes() {
    const auto records = m_storage.Updates();
    const std::int64_t since = (m_clock.Now() / kSecondsPerDay - (kDays - 1)) * kSecondsPerDay;
    std::string html =
        "<p>Updates reported over the last " + std::to_string(kDays) + " days (UTC).</p>";
    std::vector<SQXUpdateRecord> failures;
    for (const auto& application : Applications(records)) {
        const CQXReportSummary summary(records, application, since, kLatestFailures);
        Rows rows;
        for (const auto& day : summary.Days())
            rows.push_back(
                {H::Escape(day.day), std::to_string(day.done), std::to_string(day.failed)});
        html += "<h2>" + H::Escape(application) + "</h2>" +
                H::Table({"Day", "Succeeded", "Failed"}, rows, "lines");
        failures.insert(failures.end(), summary.LatestFailures().begin(),
                        summary.LatestFailures().end());
    }
    std::stable_sort(failures.begin(), failures.end(),
                     [](const auto& a, const auto& b) { return a.time > b.time; });
    if (failures.size() > kLatestFailures)
        failures.resize(kLatestFailures);
    Rows rows;
    for (const auto& f : failures)
        rows.push_back({Time(f.time), H::Escape(f.user), H::Escape(f.application),
                        H::Escape(f.fromVersion + " -> " + f.version), H::Escape(f.stage),
                        H::Escape(f.reason),
                        f.duration < 0 ? "-" : std::to_string(f.duration) + " s"});
    return html + "<h2>Latest failures</h2>" +
           H::Table({"Time", "User", "Application", "Versions", "Stage", "Reason", "Duration"},
                    rows);
}

std::string CQXConsolePages::Users(const std::string& query, const std::string& root,
                                   const std::string& csrf) {
    const std::string wanted = Lower(query);
    Rows rows;
    for (const auto& user : m_storage.ListUsers()) {
        if (Lower(user.name).find(wanted) == std::string::npos || rows.size() == kMaxListed)
            continue;
        rows.push_back({H::Escape(user.name), H::Escape(UserKindName(user.kind)),
                        Groups(user.groups), Groups(m_storage.DirectoryGroups(user.name))});
    }
    return "<form method=\"get\" action=\"" + H::Escape(root + "users") + "\">" +
           H::Input("Name contains", "q", query) +
           "<button type=\"submit\">Search</button></form>" +
           H::Table({"User", "Kind", "Groups", "Directory groups"}, rows) +
           Sessions(wanted, root, csrf);
}

std::string CQXConsolePages::Sessions(const std::string& query, const std::string& root,
                                      const std::string& csrf) {
    Rows rows;
    for (const auto& [session, expires] : m_storage.ListSessions(m_clock.Now())) {
        if (Lower(session.user).find(query) == std::string::npos || rows.size() == kMaxListed)
            continue;
        // The form names the session by a digest: its id is the user's secret.
        rows.push_back({H::Escape(session.user), H::Escape(session.application),
                        H::Escape(session.version), Time(expires),
                        H::Form(root + "users/end-session", csrf,
                                {{"session", CQXAdminStore::Digest(session.id)}, {"q", query}}, "",
                                "End session")});
    }
    return "<h2>Live sessions</h2>" +
           H::Table({"User", "Application", "Version", "Expires", ""}, rows);
}
