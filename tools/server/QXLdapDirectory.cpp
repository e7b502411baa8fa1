#include "QXLdapDirectory.h"

#include <algorithm>
#include <chrono>
#include <ldap.h>
#include <sys/time.h>

namespace {

// A failure of the connection itself: the connection is dropped and the call tried again.
class CBroken : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string Hex(unsigned char byte) {
    static const char kDigits[] = "0123456789abcdef";
    return {'\\', kDigits[byte >> 4], kDigits[byte & 15]};
}

[[noreturn]] void Fail(const std::string& what, int rc) {
    const std::string text = what + ": " + ldap_err2string(rc) + " (" + std::to_string(rc) + ")";
    if (rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_TIMEOUT)
        throw CBroken(text);
    throw CQXDirectoryUnavailable(text);
}

std::string Substitute(const std::string& pattern, const std::string& value) {
    std::string out;
    std::size_t start = 0;
    for (auto at = pattern.find("%s"); at != std::string::npos; at = pattern.find("%s", start)) {
        out += pattern.substr(start, at - start) + value;
        start = at + 2;
    }
    return out + pattern.substr(start);
}

// A simple bind; false when the directory refused these credentials.
bool Bind(LDAP* ld, const std::string& dn, const std::string& password) {
    berval cred{static_cast<ber_len_t>(password.size()), const_cast<char*>(password.data())};
    const int rc =
        ldap_sasl_bind_s(ld, dn.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr, nullptr);
    if (rc == LDAP_SUCCESS)
        return true;
    if (rc == LDAP_INVALID_CREDENTIALS || rc == LDAP_INVALID_DN_SYNTAX ||
        rc == LDAP_INAPPROPRIATE_AUTH || rc == LDAP_UNWILLING_TO_PERFORM)
        return false;
    Fail("bind as " + dn, rc);
}

struct SEntry {
    std::string dn;
    std::vector<std::string> values;
};

// The entries found (at most limit, 0 for no limit) with the values of one attribute.
std::vector<SEntry> Search(LDAP* ld, const std::string& base, int scope, const std::string& filter,
                           const char* attribute, int limit, timeval timeout) {
    char* attrs[] = {const_cast<char*>(attribute), nullptr};
    LDAPMessage* result = nullptr;
    const int rc = ldap_search_ext_s(ld, base.c_str(), scope, filter.c_str(), attrs, 0, nullptr,
                                     nullptr, &timeout, limit, &result);
    const std::unique_ptr<LDAPMessage, int (*)(LDAPMessage*)> owned(result, ldap_msgfree);
    if (rc == LDAP_NO_SUCH_OBJECT)
        return {};
    if (rc != LDAP_SUCCESS && rc != LDAP_SIZELIMIT_EXCEEDED)
        Fail("search " + filter + " below " + base, rc);
    std::vector<SEntry> entries;
    for (LDAPMessage* e = ldap_first_entry(ld, result); e; e = ldap_next_entry(ld, e)) {
        SEntry entry;
        char* dn = ldap_get_dn(ld, e);
        entry.dn = dn ? dn : "";
        ldap_memfree(dn);
        berval** values = ldap_get_values_len(ld, e, attribute);
        for (berval** v = values; v && *v; ++v)
            entry.values.emplace_back((*v)->bv_val, (*v)->bv_len);
        ldap_value_free_len(values);
        entries.push_back(std::move(entry));
    }
    return entries;
}

// "cn=pilots,ou=groups,..." -> "pilots".
std::string FirstValue(const std::string& dn) {
    LDAPDN parsed = nullptr;
    std::string first = dn;
    if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) == LDAP_SUCCESS && parsed &&
        parsed[0] && parsed[0][0])
        first.assign(parsed[0][0]->la_value.bv_val, parsed[0][0]->la_value.bv_len);
    ldap_dnfree(parsed);
    return first;
}

} // namespace

CQXLdapDirectory::CQXLdapDirectory(const Settings& settings) : m_settings(settings) {
    const bool byTemplate = !settings.userDnTemplate.empty();
    const bool bySearch = !settings.searchBase.empty() || !settings.searchFilter.empty();
    if (byTemplate == bySearch)
        throw std::invalid_argument(
            "the directory needs --ldap-user-dn, or --ldap-search-base with --ldap-search-filter");
    const std::string& pattern = byTemplate ? settings.userDnTemplate : settings.searchFilter;
    if (pattern.find("%s") == std::string::npos || (bySearch && settings.searchBase.empty()))
        throw std::invalid_argument("the user's DN or search filter needs %s for the user name");
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, settings.url.c_str()) != LDAP_SUCCESS)
        throw std::invalid_argument("not a directory URL: " + settings.url);
    ldap_unbind_ext_s(ld, nullptr, nullptr);
}

CQXLdapDirectory::~CQXLdapDirectory() {
    for (LDAP* ld : m_idle)
        ldap_unbind_ext_s(ld, nullptr, nullptr);
}

std::string CQXLdapDirectory::EscapeDnValue(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        const bool edge =
            (i == 0 && (byte == ' ' || byte == '#')) || (i + 1 == value.size() && byte == ' ');
        if (byte < 0x20 || byte == 0x7f)
            out += Hex(byte);
        else if (edge || std::string(",+\"\\<>;=").find(value[i]) != std::string::npos)
            out += {'\\', value[i]};
        else
            out += value[i];
    }
    return out;
}

std::string CQXLdapDirectory::EscapeFilterValue(const std::string& value) {
    std::string out;
    for (const char c : value) {
        if (c == '\0' || c == '*' || c == '(' || c == ')' || c == '\\')
            out += Hex(static_cast<unsigned char>(c));
        else
            out += c;
    }
    return out;
}

std::optional<SQXDirectoryUser> CQXLdapDirectory::Authenticate(const std::string& name,
                                                               const std::string& password) {
    // A DN with an empty password is an unauthenticated bind, which some servers accept.
    if (name.empty() || password.empty())
        return std::nullopt;
    return WithConnection([&](LDAP* ld) -> std::optional<SQXDirectoryUser> {
        const std::string dn = m_settings.userDnTemplate.empty()
                                   ? LocateDn(ld, name)
                                   : Substitute(m_settings.userDnTemplate, EscapeDnValue(name));
        if (dn.empty() || !Bind(ld, dn, password))
            return std::nullopt;
        // Users may not be allowed to read the groups; the service account is.
        if (!m_settings.bindDn.empty())
            BindService(ld);
        return SQXDirectoryUser{dn, Groups(ld, dn)};
    });
}

std::optional<SQXDirectoryUser> CQXLdapDirectory::Find(const std::string& name) {
    if (name.empty())
        return std::nullopt;
    return WithConnection([&](LDAP* ld) -> std::optional<SQXDirectoryUser> {
        const std::string dn = LocateDn(ld, name);
        if (dn.empty())
            return std::nullopt;
        return SQXDirectoryUser{dn, Groups(ld, dn)};
    });
}

void CQXLdapDirectory::BindService(LDAP* ld) {
    if (!Bind(ld, m_settings.bindDn, m_settings.bindPassword))
        throw CQXDirectoryUnavailable("the service account " + m_settings.bindDn + " was refused");
}

std::string CQXLdapDirectory::LocateDn(LDAP* ld, const std::string& name) {
    BindService(ld);
    const timeval timeout{m_settings.timeoutSeconds, 0};
    const auto entries =
        m_settings.userDnTemplate.empty()
            ? Search(ld, m_settings.searchBase, LDAP_SCOPE_SUBTREE,
                     Substitute(m_settings.searchFilter, EscapeFilterValue(name)), LDAP_NO_ATTRS, 2,
                     timeout)
            : Search(ld, Substitute(m_settings.userDnTemplate, EscapeDnValue(name)),
                     LDAP_SCOPE_BASE, "(objectClass=*)", LDAP_NO_ATTRS, 1, timeout);
    // Two entries for one name: which of them typed the password is unknown.
    return entries.size() == 1 ? entries[0].dn : std::string();
}

std::vector<std::string> CQXLdapDirectory::Groups(LDAP* ld, const std::string& dn) {
    const timeval timeout{m_settings.timeoutSeconds, 0};
    std::vector<std::string> groups;
    if (m_settings.groupBase.empty()) {
        for (const auto& entry :
             Search(ld, dn, LDAP_SCOPE_BASE, "(objectClass=*)", "memberOf", 1, timeout))
            for (const auto& group : entry.values)
                groups.push_back(FirstValue(group));
    } else {
        for (const auto& entry : Search(ld, m_settings.groupBase, LDAP_SCOPE_SUBTREE,
                                        "(member=" + EscapeFilterValue(dn) + ")", "cn", 0, timeout))
            groups.push_back(entry.values.empty() ? FirstValue(entry.dn) : entry.values[0]);
    }
    std::sort(groups.begin(), groups.end());
    return groups;
}

std::optional<SQXDirectoryUser> CQXLdapDirectory::WithConnection(const Lookup& call) {
    for (;;) {
        bool reused = false;
        LDAP* ld = Acquire(reused);
        try {
            const auto result = call(ld);
            Release(ld, false);
            return result;
        } catch (const CBroken& e) {
            Release(ld, true);
            // A new connection failing means the directory is down: one time-out is enough.
            if (!reused)
                throw CQXDirectoryUnavailable(e.what());
        } catch (...) {
            Release(ld, true);
            throw;
        }
    }
}

LDAP* CQXLdapDirectory::Acquire(bool& reused) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto wait = std::chrono::seconds(m_settings.timeoutSeconds);
    if (!m_returned.wait_for(lock, wait,
                             [this] { return !m_idle.empty() || m_open < kMaxConnections; }))
        throw CQXDirectoryUnavailable("every directory connection stayed busy");
    reused = !m_idle.empty();
    if (reused) {
        LDAP* ld = m_idle.back();
        m_idle.pop_back();
        return ld;
    }
    ++m_open;
    lock.unlock();
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, m_settings.url.c_str()) != LDAP_SUCCESS) {
        Release(nullptr, true);
        throw CQXDirectoryUnavailable("cannot set up a connection to " + m_settings.url);
    }
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    const timeval timeout{m_settings.timeoutSeconds, 0};
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &timeout);
    ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    return ld;
}

void CQXLdapDirectory::Release(LDAP* ld, bool broken) {
    std::vector<LDAP*> closing;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!broken) {
            m_idle.push_back(ld);
        } else {
            // The others were opened to the same server, and are likely broken as well.
            closing.swap(m_idle);
            m_open -= closing.size() + 1;
            if (ld)
                closing.push_back(ld);
        }
    }
    m_returned.notify_all();
    for (LDAP* each : closing)
        ldap_unbind_ext_s(each, nullptr, nullptr);
}
