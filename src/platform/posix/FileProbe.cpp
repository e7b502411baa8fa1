#include "platform/FileProbe.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Text.h"

namespace qxplat {

WriteProbe ProbeExclusiveWrite(const std::wstring& path) {
    // O_NONBLOCK: a FIFO without a reader must not hang the check.
    const int fd = open(ToNarrow(path).c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return WriteProbe::Writable;
    }
    return errno == ENOENT || errno == ENOTDIR ? WriteProbe::Missing : WriteProbe::Locked;
}

std::int64_t OpenFileLength(std::FILE* file) {
    struct stat info;
    if (file == nullptr || fstat(fileno(file), &info) != 0)
        return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool SeekOpenFile(std::FILE* file, std::int64_t offset) {
    return file != nullptr && offset >= 0 &&
           fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

} // namespace qxplat
