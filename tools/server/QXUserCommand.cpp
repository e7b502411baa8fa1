#include "QXUserCommand.h"

#include <filesystem>
#include <iostream>
#include <string_view>

#include "QXArguments.h"
#include "QXClock.h"
#include "QXPasswordHash.h"
#include "QXReportSummary.h"
#include "QXSessionStore.h"
#include "QXStorage.h"
#include "QXUserStore.h"

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kSwitches = {"token", "new-pin", "sso", "expired"};
const std::set<std::string> kValued = {
    "db", "root", "password", "next-passcode", "password-age-days", "group"};
constexpr std::int64_t kSecondsPerDay = 86400;
// reports --app: the days shown by default and at most, and the failures listed.
constexpr long long kSummaryDays = 7;
constexpr long long kMaxSummaryDays = 3650;
constexpr std::size_t kLatestFailures = 10;

// When the password was set: now, or --password-age-days days ago (whole days, not negative).
std::int64_t PasswordChangedAt(const CQXArguments& args, const CQXClock& clock) {
    if (!args.Has("password-age-days"))
        return clock.Now();
    const std::string days = args.Get("password-age-days");
    if (days.empty() || days.find_first_not_of("0123456789") != std::string::npos ||
        days.size() > 6)
        throw CQXUsageError("--password-age-days takes a number of days");
    return clock.Now() - std::stoll(days) * kSecondsPerDay;
}

const char* KindText(EQXUserKind kind) {
    return kind == EQXUserKind::Token ? "token" : kind == EQXUserKind::Sso ? "sso" : "password";
}

// The launcher hands the user name to the programs it starts. It quotes one with blanks, but
// refuses a double quote or a control character on every command line and & | < > ^ % on a
// batch program's, and no login form can carry &: an account so named could not log in or not
// start its application.
bool IsUsableUserName(const std::string& name) {
    constexpr std::string_view kRefused = "\"&|<>^%";
    for (const unsigned char c : name)
        if (c < 0x20 || c == 0x7F || kRefused.find(static_cast<char>(c)) != std::string::npos)
            return false;
    return true;
}

const char* StateText(EQXTokenState state) {
    return state == EQXTokenState::NewPin         ? "new-pin"
           : state == EQXTokenState::NextPasscode ? "next-passcode"
                                                  : "-";
}

} // namespace

std::string CQXUserCommand::DatabasePath(const CQXArguments& args) {
    if (args.Has("db"))
        return args.Get("db");
    if (args.Has("root"))
        return (fs::path(args.Get("root")) / "qxserver.db").string();
    throw CQXUsageError("give --db FILE or --root DIR");
}

std::string CQXUserCommand::ReadSecret(std::istream& in, const std::string& given,
                                       const char* what) {
    if (!given.empty())
        return given;
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        throw CQXUsageError(std::string("no ") + what + ": give --password or one line on stdin");
    return line;
}

int CQXUserCommand::RunUser(const std::vector<std::string>& words) {
    const CQXArguments args(words, kSwitches, kValued);
    const auto& positional = args.Positional();
    if (positional.empty())
        throw CQXUsageError("user needs add, passwd, groups, del or list");
    const std::string& action = positional[0];
    if (action == "groups") {
        if (positional.size() != 3)
            throw CQXUsageError("user groups takes a user name and a list G1,G2 (\"\" for none)");
    } else if ((action == "list") != (positional.size() == 1) || positional.size() > 2)
        throw CQXUsageError("user " + action + " takes " + (action == "list" ? "no" : "one") +
                            " user name");
    CQXClock clock;
    const auto storage = OpenStorage(DatabasePath(args));
    CQXUserStore users(*storage, clock, 0);
    if (action == "list") {
        for (const auto& user : users.List()) {
            m_out << user.name << '\t' << KindText(user.kind) << '\t' << StateText(user.tokenState)
                  << '\t'
                  << (user.passwordChanged == 0 ? "must-change"
                                                : CQXReportSummary::UtcTime(user.passwordChanged))
                  << '\t' << (user.groups.empty() ? "-" : JoinGroups(user.groups)) << '\n';
        }
        return 0;
    }
    const std::string& name = positional[1];
    if (action == "add") {
        if (!IsUsableUserName(name)) {
            std::cerr << "qxserver: a user name cannot hold a double quote, a control character "
                         "or any of & | < > ^ %\n";
            return 1;
        }
        SQXUserInfo user;
        user.name = name;
        user.kind = args.Has("sso")     ? EQXUserKind::Sso
                    : args.Has("token") ? EQXUserKind::Token
                                        : EQXUserKind::Password;
        if (args.Has("new-pin"))
            user.tokenState = EQXTokenState::NewPin;
        else if (args.Has("next-passcode"))
            user.tokenState = EQXTokenState::NextPasscode;
        if (user.tokenState != EQXTokenState::None && user.kind != EQXUserKind::Token)
            throw CQXUsageError("--new-pin and --next-passcode are for --token users");
        user.passwordChanged = args.Has("expired") ? 0 : PasswordChangedAt(args, clock);
        user.groups = SplitGroups(JoinGroups(args.GetAll("group")));
        // Single sign-on users never log in with a password (P3Login refuses them); their
        // stored secret is random.
        const std::string secret = user.kind == EQXUserKind::Sso
                                       ? CQXPasswordHash::RandomHex(16)
                                       : ReadSecret(m_in, args.Get("password"), "password");
        if (!users.Add(user, secret, args.Get("next-passcode"))) {
            std::cerr << "qxserver: user " << name << " already exists\n";
            return 1;
        }
        return 0;
    }
    bool done = false;
    if (action == "passwd")
        done = users.SetPassword(name, ReadSecret(m_in, args.Get("password"), "password"),
                                 args.Has("expired"));
    else if (action == "del")
        done = users.Remove(name);
    else if (action == "groups")
        done = storage->SetUserGroups(name, SplitGroups(positional[2]));
    else
        throw CQXUsageError("unknown user action " + action);
    if (!done) {
        std::cerr << "qxserver: no user " << name << '\n';
        return 1;
    }
    return 0;
}

int CQXUserCommand::RunReports(const std::vector<std::string>& words) {
    const CQXArguments args(words, {}, {"db", "root", "app", "days"});
    CQXClock clock;
    const auto storage = OpenStorage(DatabasePath(args));
    CQXSessionStore sessions(*storage, clock, 1);
    if (args.Has("app"))
        return Summarize(args, sessions.Updates(), clock.Now());
    if (args.Has("days"))
        throw CQXUsageError("--days goes with --app");
    for (const auto& record : sessions.Updates()) {
        m_out << CQXReportSummary::UtcTime(record.time) << '\t' << record.user << '\t'
              << record.application << '\t' << record.version;
        if (record.failed)
            m_out << "\tfailed\t" << record.stage << '\t' << record.reason;
        m_out << '\n';
    }
    return 0;
}

int CQXUserCommand::Summarize(const CQXArguments& args, const std::vector<SQXUpdateRecord>& records,
                              std::int64_t now) {
    const long long days = args.GetNumber("days", kSummaryDays);
    if (days < 1 || days > kMaxSummaryDays)
        throw CQXUsageError("--days takes a number of days from 1 to " +
                            std::to_string(kMaxSummaryDays));
    // Whole days: the first one counted from its midnight (UTC).
    const std::int64_t since = (now / kSecondsPerDay - (days - 1)) * kSecondsPerDay;
    const CQXReportSummary summary(records, args.Get("app"), since, kLatestFailures);
    m_out << "day\tsucceeded\tfailed\n";
    for (const auto& day : summary.Days())
        m_out << day.day << '\t' << day.done << '\t' << day.failed << '\n';
    m_out << "latest failures:\n";
    for (const auto& r : summary.LatestFailures())
        m_out << CQXReportSummary::UtcTime(r.time) << '\t' << r.user << '\t' << r.fromVersion
              << " -> " << r.version << '\t' << r.stage << '\t' << r.reason << '\n';
    return 0;
}
