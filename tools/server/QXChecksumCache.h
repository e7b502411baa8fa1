#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>

// File checksums (the launcher's own algorithm), kept until the file's size or modification
// time changes.
class CQXChecksumCache {
public:
    struct Entry {
        std::uint64_t size = 0;
        std::uint32_t checksum = 0;
    };
    // Size and checksum of the file as it is now; throws std::filesystem_error or
    // std::runtime_error when it cannot be read.
    Entry Get(const std::filesystem::path& file);

private:
    struct Cached {
        std::filesystem::file_time_type modified;
        Entry entry;
    };
    std::mutex m_mutex;
    std::map<std::filesystem::path, Cached> m_cache;
};
