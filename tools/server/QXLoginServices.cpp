#include "QXLoginServices.h"

#include <optional>
#include <strings.h>

#include "QXRefusal.h"

namespace {

SQXReply Done() {
    SQXReply reply;
    reply.body = "Code=0\n";
    return reply;
}

EQXRefusal RefusalFor(EQXLoginVerdict verdict) {
    switch (verdict) {
    case EQXLoginVerdict::PasswordExpired:
        return EQXRefusal::PasswordExpired;
    case EQXLoginVerdict::NewPinRequired:
        return EQXRefusal::NewPinRequired;
    case EQXLoginVerdict::NextPasscodeRequired:
        return EQXRefusal::NextPasscodeRequired;
    default:
        return EQXRefusal::BadCredentials;
    }
}

} // namespace

CQXLoginServices::CQXLoginServices(CQXUserStore& users, CQXSessionStore& sessions,
                                   IQXStorage& storage, const CQXClock& clock)
    : m_users(users), m_sessions(sessions), m_throttle(storage, clock), m_groups(storage) {}

SQXReply CQXLoginServices::Opened(const std::string& user, const std::string& lang) {
    SQXReply reply = Done();
    reply.sessionId = m_sessions.Open(user, lang);
    reply.user = user;
    return reply;
}

SQXReply CQXLoginServices::Throttled(const std::string& user, const std::string& lang) {
    SQXReply reply = CQXRefusal::Make(200, EQXRefusal::BadCredentials, lang);
    reply.user = user;
    reply.throttled = true;
    return reply;
}

SQXReply CQXLoginServices::Login(const CQXForm& form, const std::string& address) {
    const std::string user = form.Get("user");
    if (m_throttle.Blocked(user, address))
        return Throttled(user, form.Get("lang"));
    std::optional<std::string> previous;
    if (form.Has("oldPasscode"))
        previous = form.Get("oldPasscode");
    std::optional<SQXDirectoryUser> found;
    EQXLoginVerdict verdict = EQXLoginVerdict::Refused;
    try {
        verdict = Check(user, form.Get("password"), previous, found);
    } catch (const CQXDirectoryUnavailable& error) {
        return DirectoryDown(user, form.Get("lang"), error);
    }
    if (verdict == EQXLoginVerdict::Refused)
        m_throttle.Failed(user, address);
    else
        m_throttle.Succeeded(user, address);
    if (verdict == EQXLoginVerdict::Accepted)
        return found ? OpenedFromDirectory(user, *found, form.Get("lang"))
                     : Opened(user, form.Get("lang"));
    SQXReply reply = CQXRefusal::Make(200, RefusalFor(verdict), form.Get("lang"));
    reply.user = user;
    return reply;
}

EQXLoginVerdict CQXLoginServices::Check(const std::string& user, const std::string& password,
                                        const std::optional<std::string>& previous,
                                        std::optional<SQXDirectoryUser>& found) {
    if (!m_directory || m_users.Find(user))
        return m_users.Login(user, password, previous);
    found = m_directory->Authenticate(user, password);
    return found ? EQXLoginVerdict::Accepted : EQXLoginVerdict::Refused;
}

SQXReply CQXLoginServices::OpenedFromDirectory(const std::string& user,
                                               const SQXDirectoryUser& found,
                                               const std::string& lang) {
    m_groups.SetFromDirectory(user, found.groups);
    SQXReply reply = Opened(user, lang);
    for (const auto& group : found.groups)
        reply.groups += (reply.groups.empty() ? "" : ",") + group;
    return reply;
}

SQXReply CQXLoginServices::DirectoryDown(const std::string& user, const std::string& lang,
                                         const CQXDirectoryUnavailable& error) {
    SQXReply reply = CQXRefusal::Make(503, EQXRefusal::DirectoryUnavailable, lang);
    reply.user = user;
    reply.error = std::string("directory: ") + error.what();
    return reply;
}

SQXReply CQXLoginServices::SingleSignOn(const CQXForm& form,
                                        const std::optional<std::string>& vouched) {
    const std::string lang = form.Get("lang");
    const std::string named = form.Get("user");
    // The launcher names its user too; a name other than the vouched one is not vouched for.
    const bool trusted = vouched && !vouched->empty() &&
                         (named.empty() || strcasecmp(named.c_str(), vouched->c_str()) == 0);
    const std::string user = named.empty() && vouched ? *vouched : named;
    EQXRefusal refusal = EQXRefusal::SsoNotVouched;
    if (trusted) {
        const auto local = m_users.Find(user);
        if (local && local->kind == EQXUserKind::Sso)
            return Opened(user, lang);
        refusal = EQXRefusal::SsoNotAllowed;
        try {
            if (!local && m_directory)
                if (const auto found = m_directory->Find(user))
                    return OpenedFromDirectory(user, *found, lang);
        } catch (const CQXDirectoryUnavailable& error) {
            return DirectoryDown(user, lang, error);
        }
    }
    SQXReply reply = CQXRefusal::Make(200, refusal, lang);
    reply.user = user;
    return reply;
}

SQXReply CQXLoginServices::ChangePassword(const CQXForm& form, const std::string& address) {
    const std::string user = form.Get("user");
    const std::string lang = form.Get("lang");
    if (m_throttle.Blocked(user, address))
        return Throttled(user, lang);
    if (m_directory && !m_users.Find(user)) {
        SQXReply reply = CQXRefusal::Make(200, EQXRefusal::DirectoryPassword, lang);
        reply.user = user;
        return reply;
    }
    const std::string password = form.Get("password");
    const std::string oldPassword = form.Get("oldpassword");
    SQXReply reply;
    if (password.empty() || password != form.Get("confirmpassword") || password == oldPassword)
        reply = CQXRefusal::Make(200, EQXRefusal::PasswordRefused, lang);
    else if (!m_users.ChangePassword(user, oldPassword, password)) {
        m_throttle.Failed(user, address);
        reply = CQXRefusal::Make(200, EQXRefusal::BadCredentials, lang);
    } else {
        m_throttle.Succeeded(user, address);
        reply = Opened(user, lang);
    }
    reply.user = user;
    return reply;
}

SQXReply CQXLoginServices::ExtendSession(const CQXForm& form) {
    const auto session = m_sessions.Use(form.Get("sessionid"));
    if (!session)
        return CQXRefusal::Make(403, EQXRefusal::NoSession, form.Get("lang"));
    SQXReply reply = Done();
    reply.user = session->user;
    return reply;
}

SQXReply CQXLoginServices::Logout(const CQXForm& form) {
    if (!m_sessions.Close(form.Get("sessionid")))
        return CQXRefusal::Make(403, EQXRefusal::NoSession, form.Get("lang"));
    return Done();
}
