#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "QXDirectory.h"

typedef struct ldap LDAP;

// A company directory spoken to over LDAP (libldap). A user's entry is found either from a DN
// template ("uid=%s,ou=people,dc=example,dc=test") or by a search (base and filter, "%s" the
// name) under a service account; the user's password is checked by binding as the user. Names
// are escaped for DN and filter syntax before they reach either. Connections are kept in a pool
// of at most kMaxConnections, each call bounded by a time-out.
class CQXLdapDirectory : public IQXDirectory {
public:
    struct Settings {
        std::string url;
        std::string userDnTemplate;
        std::string searchBase;
        std::string searchFilter;
        // The service account for searches; anonymous when empty.
        std::string bindDn;
        std::string bindPassword;
        // Where groups are searched by "member"; empty: the user entry's "memberOf" values.
        std::string groupBase;
        int timeoutSeconds = 5;
    };
    static constexpr std::size_t kMaxConnections = 8;

    // Throws std::invalid_argument for settings that cannot work (no template and no search,
    // a template without "%s", an URL libldap does not take).
    explicit CQXLdapDirectory(const Settings& settings);
    ~CQXLdapDirectory() override;

    std::optional<SQXDirectoryUser> Authenticate(const std::string& name,
                                                 const std::string& password) override;
    std::optional<SQXDirectoryUser> Find(const std::string& name) override;

    // value escaped as an attribute value of a DN, and as a value inside a search filter.
    static std::string EscapeDnValue(const std::string& value);
    static std::string EscapeFilterValue(const std::string& value);

private:
    // Runs call on a pooled connection; a pooled connection found broken (the directory
    // restarted) is dropped and the call tried once more on a new one.
    using Lookup = std::function<std::optional<SQXDirectoryUser>(LDAP*)>;
    std::optional<SQXDirectoryUser> WithConnection(const Lookup& call);
    // An idle connection (reused set) or a new one (libldap connects on first use); waits at
    // most the time-out while all are busy.
    LDAP* Acquire(bool& reused);
    // Back to the pool; a broken one (null: one that was never set up) is closed.
    void Release(LDAP* ld, bool broken);
    // Binds as the service account (anonymously without one); throws when it is refused.
    void BindService(LDAP* ld);
    // The DN of name's entry, looked up under the service account; empty if none or several.
    std::string LocateDn(LDAP* ld, const std::string& name);
    std::vector<std::string> Groups(LDAP* ld, const std::string& dn);

    Settings m_settings;
    std::mutex m_mutex;
    std::condition_variable m_returned;
    std::vector<LDAP*> m_idle;
    std::size_t m_open = 0;
};
