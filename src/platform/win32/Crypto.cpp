#include "platform/Crypto.h"

#include <algorithm>
#include <cstring>

// bcrypt.h needs the types of windows.h first.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on

namespace qxplat {

namespace {

constexpr std::size_t kCoordinate = 32;

// The fixed DER head of a P-256 SubjectPublicKeyInfo: SEQUENCE { SEQUENCE { id-ecPublicKey,
// prime256v1 }, BIT STRING (0 unused bits) } followed by the uncompressed point marker 04.
const unsigned char kP256SpkiHead[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

bool Succeeded(NTSTATUS status) { return status >= 0; }

class AlgorithmHandle {
public:
    explicit AlgorithmHandle(const wchar_t* name) {
        if (!Succeeded(BCryptOpenAlgorithmProvider(&m_handle, name, nullptr, 0)))
            m_handle = nullptr;
    }
    ~AlgorithmHandle() {
        if (m_handle != nullptr)
            BCryptCloseAlgorithmProvider(m_handle, 0);
    }
    AlgorithmHandle(const AlgorithmHandle&) = delete;
    AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
    BCRYPT_ALG_HANDLE get() const { return m_handle; }

private:
    BCRYPT_ALG_HANDLE m_handle = nullptr;
};

class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (m_handle != nullptr)
            BCryptDestroyKey(m_handle);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    BCRYPT_KEY_HANDLE* out() { return &m_handle; }
    BCRYPT_KEY_HANDLE get() const { return m_handle; }

private:
    BCRYPT_KEY_HANDLE m_handle = nullptr;
};

// One INTEGER of a DER signature at data[at]: a positive value in its shortest form, at most
// 32 bytes once a sign byte is dropped, left-padded into out. Moves at past it.
bool ReadDerInteger(const std::vector<unsigned char>& data, std::size_t& at, unsigned char* out) {
    if (at + 2 > data.size() || data[at] != 0x02)
        return false;
    const std::size_t length = data[at + 1];
    at += 2;
    if (length == 0 || length > kCoordinate + 1 || at + length > data.size())
        return false;
    const unsigned char* value = data.data() + at;
    if ((value[0] & 0x80) != 0)
        return false; // negative
    std::size_t size = length;
    if (value[0] == 0) {
        if (length == 1 || (value[1] & 0x80) == 0)
            return false; // a zero, or a needless leading zero
        ++value;
        --size;
    }
    if (size > kCoordinate)
        return false;
    std::memset(out, 0, kCoordinate - size);
    std::memcpy(out + kCoordinate - size, value, size);
    at += length;
    return true;
}

// CNG takes r || s; the signature comes as DER SEQUENCE { INTEGER r, INTEGER s }.
bool DerToRawSignature(const std::vector<unsigned char>& der, unsigned char* raw) {
    // The longest P-256 signature is 72 bytes: the length always fits the short form.
    if (der.size() < 8 || der[0] != 0x30 || der[1] >= 0x80 || der[1] + 2u != der.size())
        return false;
    std::size_t at = 2;
    return ReadDerInteger(der, at, raw) && ReadDerInteger(der, at, raw + kCoordinate) &&
           at == der.size();
}

bool ImportP256Key(BCRYPT_ALG_HANDLE algorithm, const std::vector<unsigned char>& spki,
                   KeyHandle& key) {
    if (spki.size() != sizeof kP256SpkiHead + 2 * kCoordinate ||
        std::memcmp(spki.data(), kP256SpkiHead, sizeof kP256SpkiHead) != 0)
        return false;
    std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate);
    BCRYPT_ECCKEY_BLOB head{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinate};
    std::memcpy(blob.data(), &head, sizeof head);
    std::memcpy(blob.data() + sizeof head, spki.data() + sizeof kP256SpkiHead, 2 * kCoordinate);
    return Succeeded(BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, key.out(),
                                         blob.data(), static_cast<ULONG>(blob.size()), 0));
}

} // namespace

struct Sha256::Impl {
    AlgorithmHandle algorithm{BCRYPT_SHA256_ALGORITHM};
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool valid = false;

    ~Impl() {
        if (hash != nullptr)
            BCryptDestroyHash(hash);
    }
};

Sha256::Sha256() : m_impl(std::make_unique<Impl>()) {
    m_impl->valid = m_impl->algorithm.get() != nullptr &&
                    Succeeded(BCryptCreateHash(m_impl->algorithm.get(), &m_impl->hash, nullptr, 0,
                                               nullptr, 0, 0));
}
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;
Sha256::~Sha256() = default;

bool Sha256::IsValid() const { return m_impl && m_impl->valid; }

bool Sha256::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (IsValid() && size > 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 1u << 30));
        m_impl->valid =
            Succeeded(BCryptHashData(m_impl->hash, const_cast<PUCHAR>(bytes), piece, 0));
        bytes += piece;
        size -= piece;
    }
    return IsValid();
}

bool Sha256::Finish(Sha256Digest& digest) {
    const bool done =
        IsValid() && Succeeded(BCryptFinishHash(m_impl->hash, digest.data(),
                                                static_cast<ULONG>(digest.size()), 0));
    m_impl->valid = false;
    return done;
}

bool VerifyP256Signature(const std::vector<unsigned char>& spki, std::string_view message,
                         const std::vector<unsigned char>& derSignature) {
    unsigned char raw[2 * kCoordinate];
    if (!DerToRawSignature(derSignature, raw))
        return false;
    AlgorithmHandle algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    KeyHandle key;
    if (algorithm.get() == nullptr || !ImportP256Key(algorithm.get(), spki, key))
        return false;
    Sha256 hash;
    Sha256Digest digest{};
    if (!hash.Update(message.data(), message.size()) || !hash.Finish(digest))
        return false;
    return Succeeded(BCryptVerifySignature(key.get(), nullptr, digest.data(),
                                           static_cast<ULONG>(digest.size()), raw, sizeof raw, 0));
}

} // namespace qxplat
