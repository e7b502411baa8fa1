#include "QXUserGroups.h"

#include <algorithm>
#include <strings.h>

void CQXUserGroups::SetFromDirectory(const std::string& user,
                                     const std::vector<std::string>& groups) {
    m_storage.SetDirectoryGroups(user, groups);
}

std::vector<std::string> CQXUserGroups::Get(const std::string& user) const {
    const auto stored = m_storage.FindUser(user);
    std::vector<std::string> groups = stored ? stored->info.groups : std::vector<std::string>();
    for (const auto& group : m_storage.DirectoryGroups(user)) {
        const bool known = std::any_of(groups.begin(), groups.end(), [&](const std::string& g) {
            return strcasecmp(g.c_str(), group.c_str()) == 0;
        });
        if (!known)
            groups.push_back(group);
    }
    return groups;
}
