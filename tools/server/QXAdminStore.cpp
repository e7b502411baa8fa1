#include "QXAdminStore.h"

#include <openssl/evp.h>

#include "QXPasswordHash.h"

bool CQXAdminStore::Add(const std::string& name, const std::string& password) {
    if (name.empty())
        return false;
    SQXAdminRecord admin;
    admin.name = name;
    admin.salt = CQXPasswordHash::NewSalt();
    admin.iterations = CQXPasswordHash::kIterations;
    admin.hash = CQXPasswordHash::Derive(password, admin.salt, admin.iterations);
    admin.created = m_clock.Now();
    return m_storage.AddAdmin(admin);
}

std::optional<std::string> CQXAdminStore::Verify(const std::string& name,
                                                 const std::string& password) {
    const auto admin = name.empty() ? std::nullopt : m_storage.FindAdmin(name);
    if (!admin) {
        CQXPasswordHash::Derive(password, "unknown-admin-salt", CQXPasswordHash::kIterations);
        return std::nullopt;
    }
    if (!CQXPasswordHash::Matches(password, admin->salt, admin->hash, admin->iterations))
        return std::nullopt;
    return admin->name;
}

std::pair<std::string, SQXAdminSession> CQXAdminStore::Open(const std::string& admin) {
    const std::string cookie = CQXPasswordHash::RandomHex(32);
    const std::int64_t now = m_clock.Now();
    SQXAdminSession session{Digest(cookie), admin, CQXPasswordHash::RandomHex(32), now + kLifetime};
    m_storage.OpenAdminSession(session, now);
    return {cookie, session};
}

std::optional<SQXAdminSession> CQXAdminStore::Use(const std::string& cookie) {
    if (cookie.empty())
        return std::nullopt;
    return m_storage.FindAdminSession(Digest(cookie), m_clock.Now());
}

void CQXAdminStore::Close(const std::string& cookie) {
    m_storage.CloseAdminSession(Digest(cookie));
}

void CQXAdminStore::Audit(const std::string& admin, const std::string& action,
                          const std::string& detail) {
    m_storage.AddAudit({m_clock.Now(), admin, action, detail});
}

std::string CQXAdminStore::Digest(const std::string& secret) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(secret.data(), secret.size(), digest, &size, EVP_sha256(), nullptr);
    static const char* const kHex = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}
