#include "QXPasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <stdexcept>

namespace {

std::string RandomBytes(int count) {
    std::string bytes(static_cast<std::size_t>(count), '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), count) != 1)
        throw std::runtime_error("no random bytes available");
    return bytes;
}

} // namespace

std::string CQXPasswordHash::NewSalt() { return RandomBytes(16); }

std::string CQXPasswordHash::Derive(const std::string& password, const std::string& salt,
                                    int iterations) {
    std::string hash(32, '\0');
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(),
                          static_cast<int>(hash.size()),
                          reinterpret_cast<unsigned char*>(hash.data())) != 1)
        throw std::runtime_error("password hashing failed");
    return hash;
}

bool CQXPasswordHash::Matches(const std::string& password, const std::string& salt,
                              const std::string& hash, int iterations) {
    const std::string derived = Derive(password, salt, iterations);
    return derived.size() == hash.size() &&
           CRYPTO_memcmp(derived.data(), hash.data(), hash.size()) == 0;
}

std::string CQXPasswordHash::RandomHex(int count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : RandomBytes(count)) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}
