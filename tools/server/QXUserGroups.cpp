#include "QXUserGroups.h"

void CQXUserGroups::Set(const std::string& user, const std::vector<std::string>& groups) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_groups[user] = groups;
}

std::vector<std::string> CQXUserGroups::Get(const std::string& user) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_groups.find(user);
    return found == m_groups.end() ? std::vector<std::string>() : found->second;
}
