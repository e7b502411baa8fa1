#include "QXZstdFrames.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zstd.h>

namespace fs = std::filesystem;

namespace {

// Level 3: higher levels cost seconds per file and make patches no smaller.
constexpr int kLevel = 3;

std::vector<char> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct CCtxFree {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

void Check(std::size_t result, const char* what) {
    if (ZSTD_isError(result))
        throw std::runtime_error(std::string("zstd ") + what + ": " + ZSTD_getErrorName(result));
}

// The smallest window log whose window holds size bytes.
int WindowLogFor(std::size_t size) {
    int log = 10;
    while (log < 31 && (std::size_t(1) << log) < size)
        ++log;
    return log;
}

// Writes bytes to a new file beside out, forces it to disk and renames it to out.
void WriteInPlace(const fs::path& out, const char* bytes, std::size_t size) {
    fs::create_directories(out.parent_path());
    std::string temporary = out.string() + ".part-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        throw std::runtime_error("cannot write beside " + out.string() + ": " +
                                 std::strerror(errno));
    bool written = fchmod(fd, 0644) == 0;
    for (std::size_t done = 0; written && done < size;) {
        const ssize_t n = write(fd, bytes + done, size - done);
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    written = written && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || std::rename(temporary.c_str(), out.c_str()) != 0) {
        const int saved = errno;
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot write " + out.string() + ": " + std::strerror(saved));
    }
}

// Compresses content into out, against prefix when it is not empty.
void Compress(const std::vector<char>& prefix, const std::vector<char>& content,
              const fs::path& out) {
    std::unique_ptr<ZSTD_CCtx, CCtxFree> context(ZSTD_createCCtx());
    if (!context)
        throw std::runtime_error("zstd: out of memory");
    ZSTD_CCtx* c = context.get();
    Check(ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, kLevel), "level");
    Check(ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1), "checksum");
    if (!prefix.empty()) {
        // Without long-distance matching and a window over both, matches in the base are
        // never found and the patch is as large as the file compressed on its own.
        const int log = WindowLogFor(std::max(prefix.size(), content.size()));
        Check(ZSTD_CCtx_setParameter(c, ZSTD_c_windowLog, log), "window");
        Check(ZSTD_CCtx_setParameter(c, ZSTD_c_enableLongDistanceMatching, 1), "long mode");
        Check(ZSTD_CCtx_refPrefix(c, prefix.data(), prefix.size()), "prefix");
    }
    std::vector<char> frame(ZSTD_compressBound(content.size()));
    const std::size_t size =
        ZSTD_compress2(c, frame.data(), frame.size(), content.data(), content.size());
    Check(size, "compress");
    WriteInPlace(out, frame.data(), size);
}

} // namespace

namespace QXZstdFrames {

void MakePatch(const fs::path& base, const fs::path& file, const fs::path& out) {
    const std::vector<char> prefix = ReadAll(base);
    if (prefix.empty())
        throw std::runtime_error(base.string() + " is empty: nothing to patch from");
    Compress(prefix, ReadAll(file), out);
}

void Pack(const fs::path& file, const fs::path& out) { Compress({}, ReadAll(file), out); }

} // namespace QXZstdFrames
