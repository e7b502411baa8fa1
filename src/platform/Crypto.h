#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

// The system's cryptography, for signed file lists: SHA-256 and the check of an ECDSA P-256
// signature. CNG on Windows, OpenSSL's libcrypto on Linux; nothing here is our own cipher code.
namespace qxplat {

using Sha256Digest = std::array<unsigned char, 32>;

// SHA-256 over bytes handed in pieces. Move-only; one thread at a time.
class Sha256 {
public:
    struct Impl;
    Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;
    ~Sha256();

    // False when the system could not set up the hash; every later call then fails too.
    bool IsValid() const;
    // Adds size bytes at data. False when the system refused them.
    bool Update(const void* data, std::size_t size);
    // The digest of everything added; the object is used up afterwards. False on failure.
    bool Finish(Sha256Digest& digest);

private:
    std::unique_ptr<Impl> m_impl;
};

// True when derSignature (an ASN.1 DER ECDSA-Sig-Value, strictly encoded) is a signature of
// message by the P-256 public key spki (a DER SubjectPublicKeyInfo). SHA-256 of message is
// what was signed. False for any other key type, a malformed key or signature, or a mismatch.
bool VerifyP256Signature(const std::vector<unsigned char>& spki, std::string_view message,
                         const std::vector<unsigned char>& derSignature);

} // namespace qxplat
