#include "QXDeltaStore.h"

#include <algorithm>

#include "QXZstdFrames.h"

namespace fs = std::filesystem;

namespace {

std::string RelativeName(const SQXFileRow& row) {
    return row.path.empty() ? row.name : row.path + "/" + row.name;
}

bool Usable(std::uint64_t size) { return size > 0 && size <= QXZstdFrames::kMaxFileSize; }

// Where row's file lies: as the listing found it, which spares resolving its path again.
std::optional<fs::path> RowFile(CQXReleaseStore& releases, const std::string& application,
                                const std::string& version, const SQXFileRow& row) {
    if (!row.file.empty())
        return row.file;
    return releases.File(application, version, RelativeName(row));
}

} // namespace

CQXDeltaStore::CQXDeltaStore(const fs::path& root, CQXReleaseStore& releases)
    : m_releasesRoot(root / "releases"), m_releases(releases) {
    m_frames.ComputeSha256();
}

fs::path CQXDeltaStore::CacheFolder(const std::string& application,
                                    const std::string& version) const {
    return m_releasesRoot / application / ".deltas" / version;
}

template <typename Make>
std::optional<SQXFrame> CQXDeltaStore::Frame(const fs::path& path, const fs::path& source,
                                             const fs::path& base, bool mayMake, Make make) {
    std::error_code missing;
    const auto made = fs::last_write_time(path, missing);
    if (missing || made < fs::last_write_time(source) ||
        (!base.empty() && made < fs::last_write_time(base))) {
        if (!mayMake)
            return std::nullopt;
        make();
    }
    const CQXChecksumCache::Entry entry = m_frames.Get(path);
    return SQXFrame{path, entry.size, entry.checksum, entry.sha256};
}

std::optional<SQXDelta> CQXDeltaStore::Delta(const std::string& application,
                                             const std::string& version, const SQXFileRow& row,
                                             bool mayMake) {
    const std::string relative = RelativeName(row);
    const auto file = RowFile(m_releases, application, version, row);
    if (!file || !Usable(row.size))
        return std::nullopt;
    const std::vector<std::string> versions = m_releases.Versions(application);
    auto it = std::find(versions.rbegin(), versions.rend(), version);
    for (++it; it < versions.rend(); ++it) {
        const auto base = m_releases.File(application, *it, relative);
        if (!base)
            continue;
        const CQXChecksumCache::Entry entry = m_bases.Get(*base);
        if (entry.size == row.size && entry.checksum == row.checksum)
            continue; // the same file: launchers holding it download nothing
        if (!Usable(entry.size))
            return std::nullopt;
        const fs::path path =
            CacheFolder(application, version) / (relative + ".from-" + *it + ".zst");
        const auto patch = Frame(path, *file, *base, mayMake,
                                 [&] { QXZstdFrames::MakePatch(*base, *file, path); });
        if (!patch || patch->size >= row.size)
            return std::nullopt;
        return SQXDelta{entry.size, entry.checksum, *patch};
    }
    return std::nullopt;
}

std::optional<SQXFrame> CQXDeltaStore::Packed(const std::string& application,
                                              const std::string& version, const SQXFileRow& row,
                                              bool mayMake) {
    const std::string relative = RelativeName(row);
    const auto file = RowFile(m_releases, application, version, row);
    if (!file || !Usable(row.size))
        return std::nullopt;
    const fs::path path = CacheFolder(application, version) / (relative + ".zst");
    auto frame = Frame(path, *file, {}, mayMake, [&] { QXZstdFrames::Pack(*file, path); });
    if (frame && frame->size * 10 > row.size * 9)
        return std::nullopt;
    return frame;
}

std::size_t CQXDeltaStore::Prepare(const std::string& application, const std::string& version) {
    std::size_t patches = 0;
    for (const SQXFileRow& row : m_releases.Files(application, version)) {
        patches += Delta(application, version, row) ? 1 : 0;
        Packed(application, version, row);
    }
    return patches;
}
