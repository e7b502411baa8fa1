#pragma once

#include <cstdint>
#include <string>

#include "QXClock.h"
#include "QXStorage.h"

// The back-off after repeated wrong passwords, which slows the guesser and not the user: runs
// are kept per client address, and per name at that address. From the kUserFailures-th
// failure in a row of a name at one address (kAddressFailures-th of an address, whatever the
// names) on, that name at that address (that address) is refused without a check for
// kFirstPause seconds, twice as long after each further failure, at most kLongestPause. A
// right password from an address that has not failed is never held back. A right password
// ends the name's run at its address; a run is forgotten kForgetAfter seconds after its last
// failure. The runs live in the storage, so every server on it counts the same failures; time
// is the server's clock.
class CQXLoginThrottle {
public:
    static constexpr int kUserFailures = 10;
    static constexpr int kAddressFailures = 50;
    static constexpr std::int64_t kFirstPause = 60;
    static constexpr std::int64_t kLongestPause = 3600;
    static constexpr std::int64_t kForgetAfter = 3600;

    CQXLoginThrottle(IQXStorage& storage, const CQXClock& clock)
        : m_storage(storage), m_clock(clock) {}

    // True while the address, or the name at the address, has to wait: the attempt is
    // refused unchecked. Throws CQXDatabaseError.
    bool Blocked(const std::string& user, const std::string& address);
    // Counts a wrong password for the name at the address and for the address.
    void Failed(const std::string& user, const std::string& address);
    // A right password ends the name's run at the address (not the address's: one good account
    // must not clear the way for guesses at others).
    void Succeeded(const std::string& user, const std::string& address);

private:
    void Count(const std::string& key, int threshold, std::int64_t now);

    IQXStorage& m_storage;
    const CQXClock& m_clock;
};
