#pragma once

#include <string>

// Salted, deliberately slow password hashes: PBKDF2-HMAC-SHA256.
class CQXPasswordHash {
public:
    static constexpr int kIterations = 100000;

    // A fresh random salt of 16 bytes.
    static std::string NewSalt();
    static std::string Derive(const std::string& password, const std::string& salt, int iterations);
    // Compares in constant time.
    static bool Matches(const std::string& password, const std::string& salt,
                        const std::string& hash, int iterations);
    // n random bytes as lower-case hex (used for session ids).
    static std::string RandomHex(int bytes);
};
