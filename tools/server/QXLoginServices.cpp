#include "QXLoginServices.h"

#include <optional>

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
    : m_users(users), m_sessions(sessions), m_throttle(storage, clock) {}

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
    const EQXLoginVerdict verdict = m_users.Login(user, form.Get("password"), previous);
    if (verdict == EQXLoginVerdict::Refused)
        m_throttle.Failed(user, address);
    else
        m_throttle.Succeeded(user, address);
    if (verdict == EQXLoginVerdict::Accepted)
        return Opened(user, form.Get("lang"));
    SQXReply reply = CQXRefusal::Make(200, RefusalFor(verdict), form.Get("lang"));
    reply.user = user;
    return reply;
}

SQXReply CQXLoginServices::SingleSignOn(const CQXForm& form) {
    const std::string user = form.Get("user");
    if (m_users.SingleSignOn(user))
        return Opened(user, form.Get("lang"));
    SQXReply reply = CQXRefusal::Make(200, EQXRefusal::SsoNotAllowed, form.Get("lang"));
    reply.user = user;
    return reply;
}

SQXReply CQXLoginServices::ChangePassword(const CQXForm& form, const std::string& address) {
    const std::string user = form.Get("user");
    const std::string lang = form.Get("lang");
    if (m_throttle.Blocked(user, address))
        return Throttled(user, lang);
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
