#include "QXAppServices.h"

#include <algorithm>

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

} // namespace

CQXAppServices::CQXAppServices(CQXReleaseStore& releases, CQXUserStore& users,
                               CQXSessionStore& sessions, std::int64_t passwordWarningDays)
    : m_releases(releases), m_users(users), m_sessions(sessions),
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

bool CQXAppServices::Allowed(const std::string& application, const std::string& version,
                             const std::string& user) const {
    if (!m_releases.HasVersion(application, version))
        return false;
    const SQXAssignment assignment = m_releases.Assignment(application, user);
    return version == assignment.version ||
           std::find(assignment.versions.begin(), assignment.versions.end(), version) !=
               assignment.versions.end();
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
SQXReply CQXAppServices::UpdateDone(const CQXForm& form) {
    return WithSession(form, &CQXAppServices::DoUpdateDone);
}

SQXReply CQXAppServices::DoApplicationInfo(const CQXForm& form, const SQXSession& session) {
    std::string application = form.Get("application");
    if (application.empty())
        application = m_releases.DefaultApplication();
    if (!m_releases.HasApplication(application))
        return Unknown(EQXRefusal::UnknownApplication, form);
    const std::string version = m_releases.Assignment(application, session.user).version;
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
    }
    return Table(table);
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

SQXReply CQXAppServices::DoZippedFiles(const CQXForm& form, const SQXSession&) {
    return CQXRefusal::Make(501, EQXRefusal::NotOffered, form.Get("lang"));
}

SQXReply CQXAppServices::DoUpdateDone(const CQXForm& form, const SQXSession& session) {
    if (session.application.empty())
        return Unknown(EQXRefusal::UnknownApplication, form);
    m_sessions.RecordUpdate(session);
    SQXReply reply;
    reply.body = "Code=0\n";
    return reply;
}
