#include "QXUserStore.h"

#include "QXPasswordHash.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

bool Verify(const std::string& password, const std::string& salt, const std::string& hash,
            int iterations) {
    return !hash.empty() && CQXPasswordHash::Matches(password, salt, hash, iterations);
}

} // namespace

CQXUserStore::CQXUserStore(IQXStorage& storage, const CQXClock& clock,
                           std::int64_t maxPasswordAgeDays)
    : m_storage(storage), m_clock(clock), m_maxAgeDays(maxPasswordAgeDays) {}

bool CQXUserStore::Add(const SQXUserInfo& user, const std::string& password,
                       const std::string& nextPasscode) {
    const std::string salt = CQXPasswordHash::NewSalt();
    const std::string hash = CQXPasswordHash::Derive(password, salt, CQXPasswordHash::kIterations);
    const std::string nextSalt = CQXPasswordHash::NewSalt();
    const std::string nextHash =
        nextPasscode.empty()
            ? std::string()
            : CQXPasswordHash::Derive(nextPasscode, nextSalt, CQXPasswordHash::kIterations);
    SQXUserRecord record;
    record.info = user;
    record.salt = salt;
    record.hash = hash;
    record.nextSalt = nextSalt;
    record.nextHash = nextHash;
    record.iterations = CQXPasswordHash::kIterations;
    return m_storage.AddUser(record);
}

bool CQXUserStore::SetPassword(const std::string& name, const std::string& password, bool expired) {
    if (!Find(name))
        return false;
    StoreSecret(name, password);
    if (expired)
        m_storage.SetPasswordChanged(name, 0);
    return true;
}

bool CQXUserStore::Remove(const std::string& name) { return m_storage.RemoveUser(name); }

std::vector<SQXUserInfo> CQXUserStore::List() { return m_storage.ListUsers(); }

std::optional<SQXUserInfo> CQXUserStore::Find(const std::string& name) {
    const auto secret = m_storage.FindUser(name);
    if (!secret)
        return std::nullopt;
    return secret->info;
}

EQXLoginVerdict CQXUserStore::Login(const std::string& name, const std::string& password,
                                    const std::optional<std::string>& previousPasscode) {
    const auto secret = m_storage.FindUser(name);
    if (!secret || secret->info.kind == EQXUserKind::Sso) {
        // Same cost as a real check, so that timing does not tell which names exist.
        CQXPasswordHash::Derive(password, "unknown-user-salt", CQXPasswordHash::kIterations);
        return EQXLoginVerdict::Refused;
    }
    if (secret->info.kind == EQXUserKind::Token)
        return TokenLogin(*secret, password, previousPasscode);
    if (!Verify(password, secret->salt, secret->hash, secret->iterations))
        return EQXLoginVerdict::Refused;
    return IsExpired(secret->info) ? EQXLoginVerdict::PasswordExpired : EQXLoginVerdict::Accepted;
}

EQXLoginVerdict CQXUserStore::TokenLogin(const Secret& secret, const std::string& password,
                                         const std::optional<std::string>& previousPasscode) {
    const std::string& name = secret.info.name;
    const EQXTokenState state = secret.info.tokenState;
    if (previousPasscode && state != EQXTokenState::None) {
        if (!Verify(*previousPasscode, secret.salt, secret.hash, secret.iterations))
            return EQXLoginVerdict::Refused;
        if (state == EQXTokenState::NewPin) {
            if (password.empty())
                return EQXLoginVerdict::Refused;
            StoreSecret(name, password);
        } else if (!Verify(password, secret.nextSalt, secret.nextHash, secret.iterations)) {
            return EQXLoginVerdict::Refused;
        }
        m_storage.SetTokenState(name, EQXTokenState::None);
        return EQXLoginVerdict::Accepted;
    }
    if (!Verify(password, secret.salt, secret.hash, secret.iterations))
        return EQXLoginVerdict::Refused;
    if (state == EQXTokenState::NewPin)
        return EQXLoginVerdict::NewPinRequired;
    if (state == EQXTokenState::NextPasscode)
        return EQXLoginVerdict::NextPasscodeRequired;
    return EQXLoginVerdict::Accepted;
}

bool CQXUserStore::ChangePassword(const std::string& name, const std::string& oldPassword,
                                  const std::string& newPassword) {
    const auto secret = m_storage.FindUser(name);
    if (!secret || secret->info.kind != EQXUserKind::Password) {
        // Same cost as a real check, so that timing does not tell which names exist.
        CQXPasswordHash::Derive(oldPassword, "unknown-user-salt", CQXPasswordHash::kIterations);
        return false;
    }
    if (!Verify(oldPassword, secret->salt, secret->hash, secret->iterations))
        return false;
    StoreSecret(name, newPassword);
    return true;
}

std::int64_t CQXUserStore::DaysBeforePasswordChange(const std::string& name) {
    const auto user = Find(name);
    if (!user || user->kind != EQXUserKind::Password || m_maxAgeDays <= 0)
        return -1;
    if (user->passwordChanged == 0)
        return 0;
    const std::int64_t ageDays = (m_clock.Now() - user->passwordChanged) / kSecondsPerDay;
    return ageDays >= m_maxAgeDays ? 0 : m_maxAgeDays - ageDays;
}

bool CQXUserStore::IsExpired(const SQXUserInfo& user) const {
    if (user.passwordChanged == 0)
        return true;
    return m_maxAgeDays > 0 &&
           m_clock.Now() - user.passwordChanged >= m_maxAgeDays * kSecondsPerDay;
}

void CQXUserStore::StoreSecret(const std::string& name, const std::string& password) {
    const std::string salt = CQXPasswordHash::NewSalt();
    const std::string hash = CQXPasswordHash::Derive(password, salt, CQXPasswordHash::kIterations);
    // Whoever held a session may have known only the old secret.
    m_storage.ReplaceSecret(name, salt, hash, CQXPasswordHash::kIterations, m_clock.Now());
}
