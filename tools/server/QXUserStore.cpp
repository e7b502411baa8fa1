#include "QXUserStore.h"

#include "QXPasswordHash.h"
#include "QXStatement.h"

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

const char* KindName(EQXUserKind kind) {
    switch (kind) {
    case EQXUserKind::Token:
        return "token";
    case EQXUserKind::Sso:
        return "sso";
    default:
        return "password";
    }
}

EQXUserKind KindOf(const std::string& name) {
    if (name == "token")
        return EQXUserKind::Token;
    return name == "sso" ? EQXUserKind::Sso : EQXUserKind::Password;
}

const char* StateName(EQXTokenState state) {
    switch (state) {
    case EQXTokenState::NewPin:
        return "newpin";
    case EQXTokenState::NextPasscode:
        return "nextpasscode";
    default:
        return "";
    }
}

EQXTokenState StateOf(const std::string& name) {
    if (name == "newpin")
        return EQXTokenState::NewPin;
    return name == "nextpasscode" ? EQXTokenState::NextPasscode : EQXTokenState::None;
}

bool Verify(const std::string& password, const std::string& salt, const std::string& hash,
            int iterations) {
    return !hash.empty() && CQXPasswordHash::Matches(password, salt, hash, iterations);
}

} // namespace

CQXUserStore::CQXUserStore(CQXDatabase& db, const CQXClock& clock, std::int64_t maxPasswordAgeDays)
    : m_db(db), m_clock(clock), m_maxAgeDays(maxPasswordAgeDays) {}

bool CQXUserStore::Add(const SQXUserInfo& user, const std::string& password,
                       const std::string& nextPasscode) {
    const std::string salt = CQXPasswordHash::NewSalt();
    const std::string hash = CQXPasswordHash::Derive(password, salt, CQXPasswordHash::kIterations);
    const std::string nextSalt = CQXPasswordHash::NewSalt();
    const std::string nextHash =
        nextPasscode.empty()
            ? std::string()
            : CQXPasswordHash::Derive(nextPasscode, nextSalt, CQXPasswordHash::kIterations);
    auto lock = m_db.Lock();
    CQXStatement insert(m_db.Handle(),
                        "INSERT OR IGNORE INTO users (name, kind, salt, hash, iterations, "
                        "password_changed, token_state, next_salt, next_hash) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, user.name).Bind(2, std::string(KindName(user.kind)));
    insert.BindBlob(3, salt).BindBlob(4, hash).Bind(5, std::int64_t{CQXPasswordHash::kIterations});
    insert.Bind(6, user.passwordChanged).Bind(7, std::string(StateName(user.tokenState)));
    insert.BindBlob(8, nextSalt).BindBlob(9, nextHash);
    insert.Step();
    return insert.Changes() == 1;
}

bool CQXUserStore::SetPassword(const std::string& name, const std::string& password, bool expired) {
    if (!Find(name))
        return false;
    StoreSecret(name, password);
    if (expired) {
        auto lock = m_db.Lock();
        CQXStatement(m_db.Handle(), "UPDATE users SET password_changed = 0 WHERE name = ?")
            .Bind(1, name)
            .Step();
    }
    return true;
}

bool CQXUserStore::Remove(const std::string& name) {
    auto lock = m_db.Lock();
    CQXStatement remove(m_db.Handle(), "DELETE FROM users WHERE name = ?");
    remove.Bind(1, name).Step();
    if (remove.Changes() == 0)
        return false;
    CQXStatement(m_db.Handle(), "DELETE FROM sessions WHERE user = ?").Bind(1, name).Step();
    return true;
}

std::vector<SQXUserInfo> CQXUserStore::List() {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(), "SELECT name, kind, token_state, password_changed "
                                       "FROM users ORDER BY name COLLATE NOCASE");
    std::vector<SQXUserInfo> users;
    while (select.Step())
        users.push_back(
            {select.Text(0), KindOf(select.Text(1)), StateOf(select.Text(2)), select.Integer(3)});
    return users;
}

std::optional<SQXUserInfo> CQXUserStore::Find(const std::string& name) {
    const auto secret = ReadSecret(name);
    if (!secret)
        return std::nullopt;
    return secret->info;
}

EQXLoginVerdict CQXUserStore::Login(const std::string& name, const std::string& password,
                                    const std::optional<std::string>& previousPasscode) {
    const auto secret = ReadSecret(name);
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
        SetTokenState(name, EQXTokenState::None);
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

bool CQXUserStore::SingleSignOn(const std::string& name) {
    const auto user = Find(name);
    return user && user->kind == EQXUserKind::Sso;
}

bool CQXUserStore::ChangePassword(const std::string& name, const std::string& oldPassword,
                                  const std::string& newPassword) {
    const auto secret = ReadSecret(name);
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

std::optional<CQXUserStore::Secret> CQXUserStore::ReadSecret(const std::string& name) {
    auto lock = m_db.Lock();
    CQXStatement select(m_db.Handle(),
                        "SELECT name, kind, token_state, password_changed, salt, hash, "
                        "iterations, next_salt, next_hash FROM users WHERE name = ?");
    select.Bind(1, name);
    if (!select.Step())
        return std::nullopt;
    Secret secret;
    secret.info = {select.Text(0), KindOf(select.Text(1)), StateOf(select.Text(2)),
                   select.Integer(3)};
    secret.salt = select.Text(4);
    secret.hash = select.Text(5);
    secret.iterations = static_cast<int>(select.Integer(6));
    secret.nextSalt = select.Text(7);
    secret.nextHash = select.Text(8);
    return secret;
}

void CQXUserStore::StoreSecret(const std::string& name, const std::string& password) {
    const std::string salt = CQXPasswordHash::NewSalt();
    const std::string hash = CQXPasswordHash::Derive(password, salt, CQXPasswordHash::kIterations);
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "UPDATE users SET salt = ?, hash = ?, iterations = ?, "
                                "password_changed = ? WHERE name = ?")
        .BindBlob(1, salt)
        .BindBlob(2, hash)
        .Bind(3, std::int64_t{CQXPasswordHash::kIterations})
        .Bind(4, m_clock.Now())
        .Bind(5, name)
        .Step();
    // Whoever held a session may have known only the old secret.
    CQXStatement(m_db.Handle(), "DELETE FROM sessions WHERE user = ?").Bind(1, name).Step();
}

void CQXUserStore::SetTokenState(const std::string& name, EQXTokenState state) {
    auto lock = m_db.Lock();
    CQXStatement(m_db.Handle(), "UPDATE users SET token_state = ? WHERE name = ?")
        .Bind(1, std::string(StateName(state)))
        .Bind(2, name)
        .Step();
}
