#include "QXChecksumCache.h"

#include <fstream>
#include <memory>
#include <openssl/evp.h>
#include <stdexcept>
#include <vector>

#include "protocol/QXLReplySignature.h"
#include "update/QXChecksum.h"

namespace {

struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// The checksum and, when withSha256, the SHA-256 of file, in one read.
void Compute(const std::filesystem::path& file, bool withSha256, CQXChecksumCache::Entry& entry) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + file.string());
    std::unique_ptr<EVP_MD_CTX, MdContextFree> sha(withSha256 ? EVP_MD_CTX_new() : nullptr);
    if (withSha256 && (!sha || EVP_DigestInit_ex(sha.get(), EVP_sha256(), nullptr) != 1))
        throw std::runtime_error("cannot compute SHA-256");
    CQXChecksum checksum;
    std::vector<char> block(1 << 16);
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto count = static_cast<std::size_t>(in.gcount());
        checksum.Update(block.data(), count);
        if (sha)
            EVP_DigestUpdate(sha.get(), block.data(), count);
    }
    entry.checksum = checksum.Value();
    if (sha) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(sha.get(), digest, &length) != 1)
            throw std::runtime_error("cannot compute SHA-256");
        entry.sha256 = QXLToHex(digest, length);
    }
}

} // namespace

CQXChecksumCache::Entry CQXChecksumCache::Get(const std::filesystem::path& file) {
    const auto modified = std::filesystem::last_write_time(file);
    const auto size = std::filesystem::file_size(file);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_cache.find(file);
        if (it != m_cache.end() && it->second.modified == modified &&
            it->second.entry.size == size && (!m_withSha256 || !it->second.entry.sha256.empty()))
            return it->second.entry;
    }
    // Computed without the lock: a large file must not hold up the listing of other files.
    Entry entry;
    entry.size = size;
    Compute(file, m_withSha256, entry);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cache[file] = {modified, entry};
    return entry;
}
