#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Thrown when the directory cannot be reached or cannot answer; the text says why, for the log.
class CQXDirectoryUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A user the directory knows, with the names of the groups they belong to.
struct SQXDirectoryUser {
    std::string dn;
    std::vector<std::string> groups;
};

// Where users who are not in the server's own store may come from: a company directory. Calls
// may come from any thread. Both calls throw CQXDirectoryUnavailable.
class IQXDirectory {
public:
    virtual ~IQXDirectory() = default;

    // The user when the directory accepts name and password; nothing for a wrong password,
    // an unknown or ambiguous name, or an empty password.
    virtual std::optional<SQXDirectoryUser> Authenticate(const std::string& name,
                                                         const std::string& password) = 0;
    // The user by name alone, for a sign-on someone else vouched for; nothing when unknown.
    virtual std::optional<SQXDirectoryUser> Find(const std::string& name) = 0;
};
