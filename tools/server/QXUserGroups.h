#pragma once

#include <string>
#include <vector>

#include "QXStorage.h"

// The groups a user belongs to, for whatever picks versions by group: those given on this
// server (qxserver user add --group, user groups) and, for a directory user, those the
// directory gave at their last login, together. Both are kept in the storage, so every server
// sharing it answers alike.
class CQXUserGroups {
public:
    explicit CQXUserGroups(IQXStorage& storage) : m_storage(storage) {}

    // Stores the groups the directory gave the user at this login.
    void SetFromDirectory(const std::string& user, const std::vector<std::string>& groups);
    // The stored groups, then the directory's that are not among them (case ignored).
    std::vector<std::string> Get(const std::string& user) const;

private:
    IQXStorage& m_storage;
};
