#pragma once

#include <cstdint>
#include <filesystem>

// zstd frames that launchers decode: patches made "from" an earlier file, and packed whole
// files. Every frame carries zstd's content checksum, so that a patch applied to another base
// fails instead of giving other bytes, and is written under a temporary name, forced to disk
// and renamed into place: a reader never sees half a frame.
namespace QXZstdFrames {

// The largest file a frame is made for: launchers decode with zstd's default window limit
// (2^27 bytes), which a patch's window must cover as a whole.
constexpr std::uint64_t kMaxFileSize = std::uint64_t(1) << 27;

// Writes to out the patch that turns base into file: base's content is the prefix the
// launcher decodes against, with long-distance matching and a window covering both. Throws
// std::runtime_error when a file cannot be read or written.
void MakePatch(const std::filesystem::path& base, const std::filesystem::path& file,
               const std::filesystem::path& out);

// Writes to out file's content compressed on its own. Throws as MakePatch.
void Pack(const std::filesystem::path& file, const std::filesystem::path& out);

} // namespace QXZstdFrames
