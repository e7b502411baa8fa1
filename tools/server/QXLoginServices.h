#pragma once

#include "QXDirectory.h"
#include "QXForm.h"
#include "QXLoginThrottle.h"
#include "QXReply.h"
#include "QXSessionStore.h"
#include "QXUserGroups.h"
#include "QXUserStore.h"

// The credential and session services: P3Login, P3SSO, ChangePassword, ExtendSession, Logout.
// A refused login still answers 200 (without a cookie): the launcher reads the refusal text
// only from a 200 reply. Wrong passwords are held back per client address and per name at it
// (CQXLoginThrottle, its runs in storage); a held-back attempt gets the same refusal, unchecked.
class CQXLoginServices {
public:
    CQXLoginServices(CQXUserStore& users, CQXSessionStore& sessions, IQXStorage& storage,
                     const CQXClock& clock);

    // Users the store does not hold are then looked up in the directory (the store first);
    // their groups are refreshed at each login. While the directory cannot be reached, their
    // logins are refused with 503, so that a front tries another server.
    void UseDirectory(IQXDirectory& directory) { m_directory = &directory; }
    const CQXUserGroups& Groups() const { return m_groups; }

    // address: the client's, for the back-off.
    SQXReply Login(const CQXForm& form, const std::string& address);
    // vouched: the user a trusted front authenticated, or nothing; the form's own "user" is
    // never taken for it.
    SQXReply SingleSignOn(const CQXForm& form, const std::optional<std::string>& vouched);
    // Opens a session once the password changed; the user's other sessions have ended then.
    SQXReply ChangePassword(const CQXForm& form, const std::string& address);
    SQXReply ExtendSession(const CQXForm& form);
    SQXReply Logout(const CQXForm& form);

private:
    // A session for user, answered in lang's code page from then on (SQXSession).
    SQXReply Opened(const std::string& user, const std::string& lang);
    // The store's verdict, or the directory's for a user the store does not hold.
    // found: the directory's entry of a directory user it accepted.
    EQXLoginVerdict Check(const std::string& user, const std::string& password,
                          const std::optional<std::string>& previous,
                          std::optional<SQXDirectoryUser>& found);
    // Remembers the directory user's groups and opens their session.
    SQXReply OpenedFromDirectory(const std::string& user, const SQXDirectoryUser& found,
                                 const std::string& lang);
    // The 503 refusal while the directory cannot be reached, with the reason for the log.
    static SQXReply DirectoryDown(const std::string& user, const std::string& lang,
                                  const CQXDirectoryUnavailable& error);
    // The refusal of a held-back attempt.
    SQXReply Throttled(const std::string& user, const std::string& lang);

    CQXUserStore& m_users;
    CQXSessionStore& m_sessions;
    CQXLoginThrottle m_throttle;
    IQXDirectory* m_directory = nullptr;
    CQXUserGroups m_groups;
};
