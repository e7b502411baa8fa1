#pragma once

#include <map>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

// The groups each directory user belonged to at their last login, by name (case ignored), for
// whatever picks versions by group. Kept in this server's memory; every login refreshes them.
class CQXUserGroups {
public:
    void Set(const std::string& user, const std::vector<std::string>& groups);
    // Empty for a user who never logged in through the directory.
    std::vector<std::string> Get(const std::string& user) const;

private:
    struct CaseLess {
        bool operator()(const std::string& a, const std::string& b) const {
            return strcasecmp(a.c_str(), b.c_str()) < 0;
        }
    };
    mutable std::mutex m_mutex;
    std::map<std::string, std::vector<std::string>, CaseLess> m_groups;
};
