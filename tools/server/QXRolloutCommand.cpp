#include "QXRolloutCommand.h"

#include <filesystem>
#include <ostream>

#include "QXArguments.h"
#include "QXClock.h"
#include "QXPublisher.h"
#include "QXReleaseStore.h"
#include "QXRollouts.h"
#include "QXUserCommand.h"

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kValued = {
    "db", "root", "app", "version", "group", "percent", "halt-on-failures", "min-reports"};

// A whole number from low to high; fallback when the option is absent.
int ReadNumber(const CQXArguments& args, const std::string& name, int low, int high, int fallback) {
    if (!args.Has(name))
        return fallback;
    const std::string text = args.Get(name);
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) < low ||
        std::stoi(text) > high)
        throw CQXUsageError("--" + name + " takes a whole number from " + std::to_string(low) +
                            " to " + std::to_string(high));
    return std::stoi(text);
}

std::string Required(const CQXArguments& args, const std::string& name) {
    if (args.Get(name).empty())
        throw CQXUsageError("rollout needs --" + name);
    return args.Get(name);
}

} // namespace

int CQXRolloutCommand::Run(const std::vector<std::string>& words) {
    const CQXArguments args(words, {}, kValued);
    const auto& positional = args.Positional();
    if (positional.size() != 1)
        throw CQXUsageError("rollout needs one of start, set, halt, resume, finish, status");
    const std::string& action = positional[0];
    const std::string application = Required(args, "app");
    const auto storage = OpenStorage(CQXUserCommand::DatabasePath(args));
    if (action == "start")
        return Start(args, *storage);
    const auto rollout = storage->FindRollout(application);
    if (!rollout)
        return Refuse("no rollout of " + application);
    if (action == "status") {
        Status(*rollout, *storage);
        return 0;
    }
    return Change(action, args, *rollout, *storage);
}

int CQXRolloutCommand::Start(const CQXArguments& args, IQXStorage& storage) {
    SQXRollout r;
    r.application = Required(args, "app");
    r.version = Required(args, "version");
    r.groups = SplitGroups(JoinGroups(args.GetAll("group")));
    r.percent = ReadNumber(args, "percent", 0, 100, 0);
    r.haltPercent = ReadNumber(args, "halt-on-failures", 1, 100, 0);
    r.minReports = ReadNumber(args, "min-reports", 1, 100000, 0);
    const CQXReleaseStore releases(Required(args, "root"));
    const auto refusal = CQXRollouts::CheckStart(r, releases.HasVersion(r.application, r.version),
                                                 storage.FindRollout(r.application));
    if (refusal.malformed)
        throw CQXUsageError(refusal.reason + " (--group, --percent, --halt-on-failures with "
                                             "--min-reports)");
    if (!refusal.reason.empty())
        return Refuse(refusal.reason);
    r.state = "running";
    r.started = CQXClock().Now();
    storage.PutRollout(r);
    Status(r, storage);
    return 0;
}

int CQXRolloutCommand::Change(const std::string& action, const CQXArguments& args,
                              SQXRollout rollout, IQXStorage& storage) {
    const SQXRollout read = rollout;
    if (action == "finish" && rollout.state != "finished") {
        const fs::path folder = fs::path(Required(args, "root")) / "releases" / rollout.application;
        if (!CQXReleaseStore(Required(args, "root"))
                 .HasVersion(rollout.application, rollout.version))
            return Refuse(rollout.application + " has no version " + rollout.version);
        m_out << CQXPublisher::SetCurrentVersion(folder, rollout.version).string()
              << ": Version=" << rollout.version << '\n';
        rollout.state = "finished";
        storage.PutRollout(rollout);
    } else if (action == "set" || action == "halt" || action == "resume" || action == "finish") {
        if (action == "set" && !args.Has("percent"))
            throw CQXUsageError("rollout set needs --percent N");
        const std::string refused = CQXRollouts::Steer(
            rollout, action, ReadNumber(args, "percent", 0, 100, 0), CQXClock().Now());
        if (!refused.empty())
            return Refuse(refused);
        // A halt on failures that came in meanwhile must stand.
        if (!storage.ReplaceRollout(rollout, read.state, read.started))
            return Refuse("the rollout changed meanwhile; look at its status again");
    } else {
        throw CQXUsageError("unknown rollout action " + action);
    }
    Status(rollout, storage);
    return 0;
}

void CQXRolloutCommand::Status(const SQXRollout& r, IQXStorage& storage) {
    const SQXReportCounts counts = storage.CountReports(r.application, r.version, r.started);
    m_out << "application\t" << r.application << "\nversion\t" << r.version << "\nstate\t"
          << r.state << "\ngroups\t" << (r.groups.empty() ? "-" : JoinGroups(r.groups))
          << "\npercent\t" << r.percent << "\nhalt-on-failures\t";
    if (r.haltPercent == 0)
        m_out << "-\n";
    else
        m_out << r.haltPercent << " % of at least " << r.minReports << " reports\n";
    m_out << "succeeded\t" << counts.done << "\nfailed\t" << counts.failed << '\n';
    if (!r.reason.empty())
        m_out << "reason\t" << r.reason << '\n';
}

int CQXRolloutCommand::Refuse(const std::string& reason) {
    m_err << "qxserver: " << reason << '\n';
    return 1;
}
