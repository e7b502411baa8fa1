#include "QXLoginThrottle.h"

#include <algorithm>
#include <cctype>

namespace {

// Runs kept per table: beyond it, forgotten runs are dropped first, then new names or addresses
// go uncounted (the other table still holds them back).
constexpr std::size_t kMaxRuns = 100000;

// Keys are cut to this length: a run's memory stays small whatever a client sends.
constexpr std::size_t kMaxKey = 256;

// User names compare without regard to (ASCII) case, as in the users table.
std::string UserKey(const std::string& user) {
    std::string key = user.substr(0, kMaxKey);
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return key;
}

} // namespace

bool CQXLoginThrottle::Blocked(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t now = m_clock.Now();
    return IsBlocked(m_users, UserKey(user), now) || IsBlocked(m_addresses, address, now);
}

void CQXLoginThrottle::Failed(const std::string& user, const std::string& address) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::int64_t now = m_clock.Now();
    Count(m_users, UserKey(user), kUserFailures, now);
    Count(m_addresses, address, kAddressFailures, now);
}

void CQXLoginThrottle::Succeeded(const std::string& user) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_users.erase(UserKey(user));
}

bool CQXLoginThrottle::IsBlocked(const Runs& runs, const std::string& key, std::int64_t now) const {
    const auto run = runs.find(key);
    return run != runs.end() && now < run->second.blockedUntil;
}

void CQXLoginThrottle::Count(Runs& runs, const std::string& key, int threshold, std::int64_t now) {
    if (runs.size() >= kMaxRuns && runs.count(key) == 0) {
        for (auto it = runs.begin(); it != runs.end();) {
            const bool forgotten =
                now - it->second.last > kForgetAfter && now >= it->second.blockedUntil;
            it = forgotten ? runs.erase(it) : std::next(it);
        }
        if (runs.size() >= kMaxRuns)
            return;
    }
    Run& run = runs[key];
    if (now - run.last > kForgetAfter)
        run.failures = 0;
    run.last = now;
    if (++run.failures < threshold)
        return;
    const int doublings = std::min(run.failures - threshold, 6);
    run.blockedUntil = now + std::min(kFirstPause << doublings, kLongestPause);
}
