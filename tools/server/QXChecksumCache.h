#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

// File checksums (the launcher's own algorithm, and SHA-256 for signed lists), kept until the
// file's size or modification time changes.
class CQXChecksumCache {
public:
    struct Entry {
        std::uint64_t size = 0;
        std::uint32_t checksum = 0;
        // Lower-case hex; empty unless SHA-256 is switched on.
        std::string sha256;
    };
    // Also computes each file's SHA-256 (in the same read) from now on.
    void ComputeSha256() { m_withSha256 = true; }
    // Size and checksum of the file as it is now; throws std::filesystem_error or
    // std::runtime_error when it cannot be read.
    Entry Get(const std::filesystem::path& file);

private:
    struct Cached {
        std::filesystem::file_time_type modified;
        Entry entry;
    };
    bool m_withSha256 = false;
    std::mutex m_mutex;
    std::map<std::filesystem::path, Cached> m_cache;
};
