#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "QXClock.h"

// The back-off after repeated wrong passwords, per user name and per client address: from the
// kUserFailures-th failure in a row of a name (kAddressFailures-th of an address) on, that name
// (address) is refused without a check for kFirstPause seconds, twice as long after each
// further failure, at most kLongestPause. A name's run ends with a right password; a run is
// forgotten kForgetAfter seconds after its last failure. Time is the server's clock.
class CQXLoginThrottle {
public:
    static constexpr int kUserFailures = 10;
    static constexpr int kAddressFailures = 50;
    static constexpr std::int64_t kFirstPause = 60;
    static constexpr std::int64_t kLongestPause = 3600;
    static constexpr std::int64_t kForgetAfter = 3600;

    explicit CQXLoginThrottle(const CQXClock& clock) : m_clock(clock) {}

    // True while the name or the address has to wait: the attempt is refused unchecked.
    bool Blocked(const std::string& user, const std::string& address);
    // Counts a wrong password for the name and the address.
    void Failed(const std::string& user, const std::string& address);
    // A right password ends the name's run (not the address's: one good account must not
    // clear the way for guesses at others).
    void Succeeded(const std::string& user);

private:
    struct Run {
        int failures = 0;
        std::int64_t last = 0;
        std::int64_t blockedUntil = 0;
    };
    using Runs = std::map<std::string, Run>;

    bool IsBlocked(const Runs& runs, const std::string& key, std::int64_t now) const;
    void Count(Runs& runs, const std::string& key, int threshold, std::int64_t now);

    const CQXClock& m_clock;
    std::mutex m_mutex;
    Runs m_users;
    Runs m_addresses;
};
