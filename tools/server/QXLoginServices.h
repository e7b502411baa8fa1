#pragma once

#include "QXForm.h"
#include "QXReply.h"
#include "QXSessionStore.h"
#include "QXUserStore.h"

// The credential and session services: P3Login, P3SSO, ChangePassword, ExtendSession, Logout.
// A refused login still answers 200 (without a cookie): the launcher reads the refusal text
// only from a 200 reply.
class CQXLoginServices {
public:
    CQXLoginServices(CQXUserStore& users, CQXSessionStore& sessions);

    SQXReply Login(const CQXForm& form);
    SQXReply SingleSignOn(const CQXForm& form);
    SQXReply ChangePassword(const CQXForm& form);
    SQXReply ExtendSession(const CQXForm& form);
    SQXReply Logout(const CQXForm& form);

private:
    SQXReply Opened(const std::string& user);

    CQXUserStore& m_users;
    CQXSessionStore& m_sessions;
};
