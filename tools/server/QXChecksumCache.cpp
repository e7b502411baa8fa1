#include "QXChecksumCache.h"

#include <fstream>
#include <stdexcept>
#include <vector>

#include "update/QXChecksum.h"

namespace {

std::uint32_t ComputeChecksum(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    CQXChecksum checksum;
    std::vector<char> block(1 << 16);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        checksum.Update(block.data(), static_cast<std::size_t>(in.gcount()));
    }
    return checksum.Value();
}

} // namespace

CQXChecksumCache::Entry CQXChecksumCache::Get(const std::filesystem::path& file) {
    const auto modified = std::filesystem::last_write_time(file);
    const auto size = std::filesystem::file_size(file);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_cache.find(file);
        if (it != m_cache.end() && it->second.modified == modified && it->second.entry.size == size)
            return it->second.entry;
    }
    // Computed without the lock: a large file must not hold up the listing of other files.
    const Entry entry{size, ComputeChecksum(file)};
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cache[file] = {modified, entry};
    return entry;
}
