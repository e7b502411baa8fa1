#include "QXLoginThrottle.h"

#include <algorithm>
#include <cctype>

#include "QXAddressList.h"

namespace {

// Names are cut to this length: a run's key stays small whatever a client sends.
constexpr std::size_t kMaxName = 256;

// The name at the address. An address never holds a line feed, so the two kinds of keys never
// meet; names compare without regard to (ASCII) case, as in the users table.
std::string UserKey(const std::string& user, const std::string& address) {
    std::string name = user.substr(0, kMaxName);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return QXClientKey(address) + '\n' + name;
}

} // namespace

bool CQXLoginThrottle::Blocked(const std::string& user, const std::string& address) {
    return m_clock.Now() < m_storage.HeldUntil(QXClientKey(address), UserKey(user, address));
}

void CQXLoginThrottle::Failed(const std::string& user, const std::string& address) {
    const std::int64_t now = m_clock.Now();
    Count(UserKey(user, address), kUserFailures, now);
    Count(QXClientKey(address), kAddressFailures, now);
}

void CQXLoginThrottle::Succeeded(const std::string& user, const std::string& address) {
    m_storage.ForgetFailures(UserKey(user, address));
}

void CQXLoginThrottle::Count(const std::string& key, int threshold, std::int64_t now) {
    const int failures = m_storage.CountFailure(key, now, kForgetAfter);
    if (failures < threshold)
        return;
    const int doublings = std::min(failures - threshold, 6);
    m_storage.HoldBack(key, now + std::min(kFirstPause << doublings, kLongestPause));
}
