#include "update/QXChecksumFile.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/FileProbe.h"
#include "platform/Files.h"
#include "update/QXChecksumLanes.h"

namespace {

// Blocks that stay in the processor's cache between the read and the sum.
constexpr std::size_t kBlockBytes = 64 * 1024;
// A part smaller than this does not pay for its thread; parts start on block boundaries.
constexpr std::uint64_t kMinPartBytes = 1024 * 1024;
constexpr unsigned kMaxParts = 4;

// One part of the file, read through file from where it stands: length bytes, or up to the
// end of the file for the last part.
struct SPart {
    qxplat::FilePtr ownHandle; // null for the caller's handle
    std::FILE* file = nullptr;
    std::uint64_t length = 0;
    bool toEnd = false;
    std::uint32_t value = 0;
    std::uint64_t read = 0;
    bool failed = false;
};

// Unbuffered: each block goes straight from the system into our buffer. Set before any other
// use of the stream.
void Unbuffer(std::FILE* file) { std::setvbuf(file, nullptr, _IONBF, 0); }

void ReadPart(SPart& part) {
    std::vector<unsigned char> block(kBlockBytes);
    CQXChecksum checksum;
    while (part.toEnd || part.read < part.length) {
        const std::uint64_t left = part.toEnd ? kBlockBytes : part.length - part.read;
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, kBlockBytes));
        const std::size_t n = std::fread(block.data(), 1, want, part.file);
        if (n == 0)
            break;
        checksum.Update(block.data(), n);
        part.read += n;
    }
    part.value = checksum.Value();
    part.failed = std::ferror(part.file) != 0;
}

unsigned PartCount(std::uint64_t length) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::uint64_t>(
        {std::uint64_t{processors}, std::uint64_t{kMaxParts}, length / kMinPartBytes}));
}

// Adds the parts after the first, each through a handle of its own at its offset; false when
// a handle cannot be had. A handle whose file has another length is another file now (the
// file was replaced while it was being checked): replaced is then set.
bool OpenFurtherParts(const std::wstring& path, std::uint64_t length, unsigned count,
                      std::vector<SPart>& parts, bool& replaced) {
    const std::uint64_t step = length / count / kBlockBytes * kBlockBytes;
    for (unsigned k = 1; k < count; ++k) {
        SPart part;
        part.ownHandle = qxplat::OpenShared(path, "rb");
        part.file = part.ownHandle.get();
        if (!part.file)
            return false;
        Unbuffer(part.file);
        if (qxplat::OpenFileLength(part.file) != static_cast<std::int64_t>(length)) {
            replaced = true;
            return false;
        }
        if (!qxplat::SeekOpenFile(part.file, static_cast<std::int64_t>(step * k)))
            return false;
        part.length = k + 1 < count ? step : length - step * k;
        part.toEnd = k + 1 == count;
        parts.push_back(std::move(part));
    }
    parts.front().length = step;
    parts.front().toEnd = false;
    return true;
}

// Reads every part, the first on the calling thread; a part whose thread cannot start is
// read after the first.
void ReadParts(std::vector<SPart>& parts) {
    std::vector<std::thread> threads;
    std::vector<SPart*> inTurn;
    for (std::size_t k = 1; k < parts.size(); ++k) {
        try {
            threads.emplace_back([&part = parts[k]] { ReadPart(part); });
        } catch (const std::system_error&) {
            inTurn.push_back(&parts[k]);
        }
    }
    ReadPart(parts.front());
    for (SPart* part : inTurn)
        ReadPart(*part);
    for (std::thread& thread : threads)
        thread.join();
}

// checksum(a then b) = checksum(a) * 131^|b| + checksum(b).
SQXFileChecksum Join(const std::vector<SPart>& parts, std::uint64_t expectedLength) {
    SQXFileChecksum result;
    bool cutShort = false;
    bool failed = false;
    for (const SPart& part : parts) {
        result.value =
            result.value * QXChecksumPower(static_cast<std::size_t>(part.read)) + part.value;
        result.bytesRead += part.read;
        cutShort = cutShort || (!part.toEnd && part.read != part.length);
        failed = failed || part.failed;
    }
    result.status = failed                                           ? QXChecksumRead::Failed
                    : cutShort || result.bytesRead != expectedLength ? QXChecksumRead::Changed
                                                                     : QXChecksumRead::Whole;
    return result;
}

} // namespace

SQXFileChecksum QXChecksumFile(const std::wstring& path, std::FILE* file,
                               std::uint64_t expectedLength) {
    Unbuffer(file);
    std::vector<SPart> parts(1);
    parts.front().file = file;
    parts.front().toEnd = true;
    const unsigned count = PartCount(expectedLength);
    bool replaced = false;
    if (count > 1 && !OpenFurtherParts(path, expectedLength, count, parts, replaced)) {
        parts.resize(1);
        parts.front().toEnd = true;
        if (replaced) {
            SQXFileChecksum result;
            result.status = QXChecksumRead::Changed;
            return result;
        }
    }
    ReadParts(parts);
    return Join(parts, expectedLength);
}
