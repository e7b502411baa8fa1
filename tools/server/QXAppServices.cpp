#include "QXAppServices.h"

#include <algorithm>
#include <chrono>

#include "QXFrameColumns.h"
#include "QXRefusal.h"
#include "QXReplyTable.h"

namespace {

SQXReply Table(const CQXReplyTable& table) {
    SQXReply reply;
    reply.body = table.Text();
    return reply;
}

// The SHA-256 of no bytes: what a listed file that is not there (a deletion) has.
constexpr char kEmptySha256[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

SQXReply Unknown(EQXRefusal code, const CQXForm& form) {
    return CQXRefusal::Make(404, code, form.Get("lang"));
}

// How long one file list may spend making frames before it is sent without the rest.
constexpr std::chrono::seconds kFrameMakingTime{5};

// The longest failure reason kept: one error line, not a log.
constexpr std::size_t kMaxReason = 500;

bool IsStage(const std::string& stage) {
    for (const char* known : {"download", "verify", "signature", "install", "restart"})
        if (stage == known)
            return true;
    return false;
}

// The reason as kept: control characters as blanks (reports are listed one per line), cut to
// kMaxReason bytes at a character's start (the text is UTF-8 here).
std::string ReasonOf(std::string text) {
    if (text.size() > kMaxReason) {
        std::size_t cut = kMaxReason;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return text;
}

// The optional "duration" in whole seconds; -1 when absent or not a number (the report is
// kept all the same, the bad value named in the error log).
std::int64_t DurationOf(const CQXForm& form, std::string& error) {
    const std::string text = form.Get("duration");
    if (text.empty() && !form.Has("duration"))
        return -1;
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        error = "report: duration \"" + text.substr(0, 20) + "\" is not a number of seconds";
        return -1;
    }
    return std::stoll(text);
}

// The answer to a stored report; a rollout the report halted goes to the error log.
SQXReply Recorded(const std::string& halted, const std::string& error) {
    SQXReply reply;
    reply.body = "Code=0\n";
    reply.error = halted.empty() ? error : "rollout halted: " + halted;
    return reply;
}

} // namespace

CQXAppServices::CQXAppServices(CQXReleaseStore& releases, CQXUserStore& users,
                               CQXSessionStore& sessions, CQXRollouts& rollouts,
                               std::int64_t passwordWarningDays)
    : m_releases(releases), m_users(users), m_sessions(sessions), m_rollouts(rollouts),
      m_warningDays(passwordWarningDays) {}

SQXReply CQXAppServices::WithSession(const CQXForm& form, Body body) {
    const auto session = m_sessions.Use(form.Get("sessionid"));
    if (!session)
        return CQXRefusal::Make(403, EQXRefusal::NoSession, form.Get("lang"));
    SQXReply reply = (this->*body)(form, *session);
    reply.user = session->user;
    // GetAppInf without an application name carries no "lang": the login's tells the code page.
    if (reply.textLanguage.empty() && !form.Has("lang"))
        reply.textLanguage = session->lang;
    return reply;
}

std::string CQXAppServices::GivenVersion(const std::string& application,
                                         const std::string& user) const {
    const SQXAssignment assignment = m_releases.Assignment(application, user);
    if (assignment.personal)
        return assignment.version;
    const std::string staged = m_rollouts.VersionFor(application, user);
    return m_releases.HasVersion(application, staged) ? staged : assignment.version;
}

bool CQXAppServices::Allowed(const std::string& application, const std::string& version,
                             const std::string& user) const {
    if (!m_releases.HasVersion(application, version))
        return false;
    const SQXAssignment assignment = m_releases.Assignment(application, user);
    // The storage is asked only for a version the site alone does not give.
    return version == assignment.version ||
           std::find(assignment.versions.begin(), assignment.versions.end(), version) !=
               assignment.versions.end() ||
           (!assignment.personal && m_rollouts.VersionFor(application, user) == version);
}

SQXReply CQXAppServices::RefuseVersion(const CQXForm& form, const std::string& application,
                                       const std::string& version, const std::string& user) const {
    SQXReply reply = Unknown(EQXRefusal::UnknownApplication, form);
    if (!m_releases.HasApplication(application))
        return reply;
    const auto missing = m_releases.Assignment(application, user).missing;
    for (const auto& named : missing) {
        if (version.empty() || named == version) {
            reply.error = "site: " + application + " names version " + named + " for " + user +
                          ", but it has no folder releases/" + application + "/" + named + "/";
            break;
        }
    }
    return reply;
}

SQXReply CQXAppServices::ApplicationInfo(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoApplicationInfo);
}
SQXReply CQXAppServices::VersionList(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoVersionList);
}
SQXReply CQXAppServices::Primary(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoPrimary);
}
SQXReply CQXAppServices::Checksums(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoChecksums);
}
SQXReply CQXAppServices::File(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoFile);
}
SQXReply CQXAppServices::ZippedFiles(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoZippedFiles);
}
SQXReply CQXAppServices::FileDelta(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoFileDelta);
}
SQXReply CQXAppServices::UpdateDone(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoUpdateDone);
}
SQXReply CQXAppServices::UpdateFailed(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoUpdateFailed);
}

SQXReply CQXAppServices::DoApplicationInfo(const CQXForm& form, const SQXSession& session) {
    std::string application = form.Get("application");
    if (application.empty())
        application = m_releases.DefaultApplication();
    if (!m_releases.HasApplication(application))
        return Unknown(EQXRefusal::UnknownApplication, form);
    const std::string version = GivenVersion(application, session.user);
    if (version.empty())
        return RefuseVersion(form, application, version, session.user);
    const SQXVersionSettings s = m_releases.Settings(application, version);
    const std::int64_t daysLeft = m_users.DaysBeforePasswordChange(session.user);
    m_sessions.Remember(session, application, version);

    CQXReplyTable table;
    table.AddColumn("Update", CQXReplyTable::kFlag);
    table.AddColumn("Version", CQXReplyTable::kText);
    table.AddColumn("ForceUpdate", CQXReplyTable::kFlag);
    table.AddColumn("ForceReboot", CQXReplyTable::kFlag);
    table.AddColumn("ApplicationName", CQXReplyTable::kText);
    table.AddColumn("ApplicationLabel", CQXReplyTable::kText);
    table.AddColumn("DaysBeforeForceUpdateValue", CQXReplyTable::kInteger);
    table.AddColumn("ReleaseNoteName", CQXReplyTable::kText);
    table.AddColumn("UpdateOnExit", CQXReplyTable::kFlag);
    table.AddColumn("StartBureauByDefault", CQXReplyTable::kFlag);
    table.AddColumn("ZipEnable", CQXReplyTable::kFlag);
    table.AddColumn("DaysBeforeForceChangePasswordValue", CQXReplyTable::kInteger);
    table.AddColumn("DaysBeforeChangePasswordWarning", CQXReplyTable::kInteger);
    table.AddColumn("WarningForceUpdate", CQXReplyTable::kFlag);
    // Launchers that know AppUpdateFailed (and a duration on AppUpdateDone) send them only here.
    table.AddColumn("UpdateReports", CQXReplyTable::kFlag);
    table.AddRow();
    table.AddFlag(s.update);
    table.AddValue(version);
    table.AddFlag(s.forceUpdate);
    table.AddFlag(s.forceReboot);
    table.AddValue(application);
    table.AddValue(s.label);
    table.AddValue(s.daysBeforeForceUpdate);
    table.AddValue(s.releaseNoteName);
    table.AddFlag(s.updateOnExit);
    table.AddFlag(s.startBureauByDefault);
    table.AddFlag(false);
    table.AddValue(daysLeft);
    table.AddValue(daysLeft < 0 ? -1 : m_warningDays);
    table.AddFlag(s.warningForceUpdate);
    table.AddFlag(true);
    return Table(table);
}

SQXReply CQXAppServices::DoVersionList(const CQXForm& form, const SQXSession& session) {
    const std::string application = form.Get("applicationname");
    if (!m_releases.HasApplication(application))
        return Unknown(EQXRefusal::UnknownApplication, form);
    CQXReplyTable table;
    table.AddColumn("VersionName", CQXReplyTable::kText);
    for (const auto& version : m_releases.Assignment(application, session.user).versions) {
        table.AddRow();
        table.AddValue(version);
    }
    return Table(table);
}

SQXReply CQXAppServices::DoPrimary(const CQXForm& form, const SQXSession& session) {
    const std::string application = form.Get("applicationname");
    const std::string version = form.Get("versionname");
    if (!Allowed(application, version, session.user))
        return RefuseVersion(form, application, version, session.user);
    m_sessions.Remember(session, application, version);
    const SQXVersionSettings s = m_releases.Settings(application, version);
    CQXReplyTable table;
    table.AddColumn("PrimaryName", CQXReplyTable::kText);
    table.AddColumn("PrimaryParameters", CQXReplyTable::kText);
    table.AddRow();
    table.AddValue(s.primaryName);
    table.AddValue(s.primaryParameters);
    return Table(table);
}

SQXReply CQXAppServices::DoChecksums(const CQXForm& form, const SQXSession& session) {
    const std::string application = form.Get("application");
    const std::string version = form.Get("version");
    if (!Allowed(application, version, session.user))
        return RefuseVersion(form, application, version, session.user);
    m_sessions.Remember(session, application, version);
    CQXReplyTable table;
    table.AddColumn("FileName", CQXReplyTable::kText);
    table.AddColumn("FilePath", CQXReplyTable::kText);
    table.AddColumn("FileSize", CQXReplyTable::kInteger);
    table.AddColumn("FileChecksum", CQXReplyTable::kInteger);
    table.AddColumn("FileMode", CQXReplyTable::kText);
    table.AddColumn("IsActiveX", CQXReplyTable::kFlag);
    table.AddColumn("HasToBeLaunched", CQXReplyTable::kFlag);
    table.AddColumn("Parameters", CQXReplyTable::kText);
    table.AddColumn("FileExecutable", CQXReplyTable::kFlag);
    if (m_listSha256)
        table.AddColumn("FileSha256", CQXReplyTable::kText);
    if (m_deltas != nullptr)
        QXAddFrameColumns(table);
    std::string error;
    const auto makeUntil = std::chrono::steady_clock::now() + kFrameMakingTime;
    for (const auto& file : m_releases.Files(application, version)) {
        table.AddRow();
        table.AddValue(file.name);
        table.AddValue(file.path.empty() ? std::string("--") : file.path);
        table.AddValue(static_cast<long long>(file.size));
        table.AddValue(static_cast<long long>(file.checksum));
        table.AddValue(file.mode);
        table.AddFlag(file.activeX);
        table.AddFlag(file.launch);
        table.AddValue(file.parameters);
        table.AddFlag(file.executable);
        if (m_listSha256)
            table.AddValue(file.sha256.empty() ? std::string(kEmptySha256) : file.sha256);
        if (m_deltas != nullptr)
            QXAddFrameValues(table, *m_deltas, application, version, file, makeUntil, error);
    }
    SQXReply reply = Table(table);
    reply.error = error;
    return reply;
}

SQXReply CQXAppServices::DoFile(const CQXForm& form, const SQXSession& session) {
    const std::string application = form.Get("application");
    const std::string version = form.Get("version");
    if (!Allowed(application, version, session.user))
        return RefuseVersion(form, application, version, session.user);
    const auto file = m_releases.File(application, version, form.Get("filename"));
    if (!file)
        return Unknown(EQXRefusal::UnknownFile, form);
    m_sessions.Remember(session, application, version);
    SQXReply reply;
    reply.contentType = "application/octet-stream";
    reply.file = *file;
    return reply;
}

SQXReply CQXAppServices::DoFileDelta(const CQXForm& form, const SQXSession& session) {
    const std::string application = form.Get("application");
    const std::string version = form.Get("version");
    if (!Allowed(application, version, session.user))
        return RefuseVersion(form, application, version, session.user);
    std::optional<SQXFrame> frame;
    const auto row = m_deltas == nullptr
                         ? std::nullopt
                         : m_releases.Row(application, version, form.Get("filename"));
    if (row && !form.Has("basesize")) {
        frame = m_deltas->Packed(application, version, *row);
    } else if (row) {
        const auto delta = m_deltas->Delta(application, version, *row);
        if (delta && std::to_string(delta->baseSize) == form.Get("basesize") &&
            std::to_string(delta->baseChecksum) == form.Get("basechecksum"))
            frame = delta->patch;
    }
    if (!frame)
        return Unknown(EQXRefusal::UnknownFile, form);
    m_sessions.Remember(session, application, version);
    SQXReply reply;
    reply.contentType = "application/zstd";
    reply.file = frame->path;
    return reply;
}

SQXReply CQXAppServices::DoZippedFiles(const CQXForm& form, const SQXSession&) {
    return CQXRefusal::Make(501, EQXRefusal::NotOffered, form.Get("lang"));
}

SQXReply CQXAppServices::DoUpdateDone(const CQXForm& form, const SQXSession& session) {
    if (session.application.empty())
        return Unknown(EQXRefusal::UnknownApplication, form);
    SQXUpdateRecord record;
    record.user = session.user;
    record.application = session.application;
    record.version = session.version;
    std::string error;
    record.duration = DurationOf(form, error);
    return Recorded(m_rollouts.Record(record), error);
}

SQXReply CQXAppServices::DoUpdateFailed(const CQXForm& form, const SQXSession& session) {
    SQXUpdateRecord record;
    record.user = session.user;
    record.application = form.Get("application");
    record.version = form.Get("toversion");
    record.failed = true;
    record.fromVersion = form.Get("fromversion");
    record.stage = form.Get("stage");
    record.reason = ReasonOf(form.Get("reason"));
    if (!m_releases.HasApplication(record.application))
        return Unknown(EQXRefusal::UnknownApplication, form);
    if (record.version.empty() || !IsStage(record.stage))
        return CQXRefusal::Make(400, EQXRefusal::MissingParameter, form.Get("lang"));
    std::string error;
    record.duration = DurationOf(form, error);
    return Recorded(m_rollouts.Record(record), error);
}
