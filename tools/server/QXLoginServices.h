#pragma once

#include "QXForm.h"
#include "QXLoginThrottle.h"
#include "QXReply.h"
#include "QXSessionStore.h"
#include "QXUserStore.h"

// The credential and session services: P3Login, P3SSO, ChangePassword, ExtendSession, Logout.
// A refused login still answers 200 (without a cookie): the launcher reads the refusal text
// only from a 200 reply. Wrong passwords are held back per client address and per name at it
// (CQXLoginThrottle, its runs in storage); a held-back attempt gets the same refusal, unchecked.
class CQXLoginServices {
public:
    CQXLoginServices(CQXUserStore& users, CQXSessionStore& sessions, IQXStorage& storage,
                     const CQXClock& clock);

    // address: the client's, for the back-off.
    SQXReply Login(const CQXForm& form, const std::string& address);
    SQXReply SingleSignOn(const CQXForm& form);
    // Opens a session once the password changed; the user's other sessions have ended then.
    SQXReply ChangePassword(const CQXForm& form, const std::string& address);
    SQXReply ExtendSession(const CQXForm& form);
    SQXReply Logout(const CQXForm& form);

private:
    // A session for user, answered in lang's code page from then on (SQXSession).
    SQXReply Opened(const std::string& user, const std::string& lang);
    // The refusal of a held-back attempt.
    SQXReply Throttled(const std::string& user, const std::string& lang);

    CQXUserStore& m_users;
    CQXSessionStore& m_sessions;
    CQXLoginThrottle m_throttle;
};
