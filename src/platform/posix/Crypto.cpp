#include "platform/Crypto.h"

#include <cstring>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace qxplat {

namespace {

struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using MdContextPtr = std::unique_ptr<EVP_MD_CTX, MdContextFree>;
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

// Only a named P-256 key counts: another curve or type signed by the same site is no match.
bool IsP256(EVP_PKEY* key) {
    char group[64] = {};
    std::size_t length = 0;
    return EVP_PKEY_is_a(key, "EC") &&
           EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1 &&
           (std::strcmp(group, "prime256v1") == 0 || std::strcmp(group, "P-256") == 0);
}

} // namespace

struct Sha256::Impl {
    MdContextPtr context{EVP_MD_CTX_new()};
    bool valid = false;
};

Sha256::Sha256() : m_impl(std::make_unique<Impl>()) {
    m_impl->valid =
        m_impl->context && EVP_DigestInit_ex(m_impl->context.get(), EVP_sha256(), nullptr) == 1;
}
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;
Sha256::~Sha256() = default;

bool Sha256::IsValid() const { return m_impl && m_impl->valid; }

bool Sha256::Update(const void* data, std::size_t size) {
    if (!IsValid())
        return false;
    m_impl->valid = EVP_DigestUpdate(m_impl->context.get(), data, size) == 1;
    return m_impl->valid;
}

bool Sha256::Finish(Sha256Digest& digest) {
    unsigned int length = 0;
    const bool done = IsValid() &&
                      EVP_DigestFinal_ex(m_impl->context.get(), digest.data(), &length) == 1 &&
                      length == digest.size();
    m_impl->valid = false;
    return done;
}

bool VerifyP256Signature(const std::vector<unsigned char>& spki, std::string_view message,
                         const std::vector<unsigned char>& derSignature) {
    const unsigned char* cursor = spki.data();
    KeyPtr key(d2i_PUBKEY(nullptr, &cursor, static_cast<long>(spki.size())));
    if (!key || cursor != spki.data() + spki.size() || !IsP256(key.get()))
        return false;
    MdContextPtr context(EVP_MD_CTX_new());
    return context &&
           EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), derSignature.data(), derSignature.size(),
                            reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
}

} // namespace qxplat
