#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "QXChecksumCache.h"
#include "QXReleaseStore.h"

// A zstd frame the server can send instead of a file: its own size and checksums, which the
// file list announces, and where it lies.
struct SQXFrame {
    std::filesystem::path path;
    std::uint64_t size = 0;
    std::uint32_t checksum = 0;
    std::string sha256;
};

// A patch from an earlier release's file of the same path, and that base file's size and
// checksum: only a launcher holding exactly those bytes can use it.
struct SQXDelta {
    std::uint64_t baseSize = 0;
    std::uint32_t baseChecksum = 0;
    SQXFrame patch;
};

// The patches and packed copies of release files, cached beside the releases in
// releases/<application>/.deltas/<version>/ (a hidden folder, never taken for a version),
// made on first use and again when a file is newer than its frame. Safe from any thread.
class CQXDeltaStore {
public:
    CQXDeltaStore(const std::filesystem::path& root, CQXReleaseStore& releases);

    // The patch for row (a file of the version) from the latest earlier version whose file of
    // the same path differs; nothing when there is none, a file is empty or too large, the
    // patch would not be smaller than the file, or it is not made yet and mayMake is false.
    // Throws std::runtime_error when a frame cannot be made.
    std::optional<SQXDelta> Delta(const std::string& application, const std::string& version,
                                  const SQXFileRow& row, bool mayMake = true);
    // The file compressed on its own, when that saves at least a tenth. As Delta otherwise.
    std::optional<SQXFrame> Packed(const std::string& application, const std::string& version,
                                   const SQXFileRow& row, bool mayMake = true);
    // Makes every frame of the version's files; returns how many patches it has.
    std::size_t Prepare(const std::string& application, const std::string& version);

private:
    // The frame at path, made by make when missing or older than a source (nothing then
    // unless mayMake); its checksums.
    template <typename Make>
    std::optional<SQXFrame> Frame(const std::filesystem::path& path,
                                  const std::filesystem::path& source,
                                  const std::filesystem::path& base, bool mayMake, Make make);
    std::filesystem::path CacheFolder(const std::string& application,
                                      const std::string& version) const;

    std::filesystem::path m_releasesRoot;
    CQXReleaseStore& m_releases;
    CQXChecksumCache m_bases;  // size and checksum of the base files
    CQXChecksumCache m_frames; // and the SHA-256 of the frames
};
