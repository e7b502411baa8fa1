#include "platform/DurableFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Text.h"

namespace qxplat {

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFolder(const std::string& path) {
    const int fd = open(path.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool done = fsync(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return done;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool FlushFolderToDisk(const std::wstring& folder) { return SyncFolder(ToNarrow(folder)); }

bool WriteFileDurably(const std::wstring& path, const std::string& bytes) {
    const std::string target = ToNarrow(path);
    const std::string temporary = target + ".new";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
    close(fd);
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return SyncFolder(FolderOf(target));
}

bool RenameDurably(const std::wstring& from, const std::wstring& to) {
    const std::string source = ToNarrow(from);
    const std::string target = ToNarrow(to);
    if (rename(source.c_str(), target.c_str()) != 0)
        return false;
    return SyncFolder(FolderOf(target)) &&
           (FolderOf(source) == FolderOf(target) || SyncFolder(FolderOf(source)));
}

bool RenameInBatch(const std::wstring& from, const std::wstring& to) {
    return rename(ToNarrow(from).c_str(), ToNarrow(to).c_str()) == 0;
}

bool FlushChangesToDisk(const std::wstring& folder, const std::vector<std::wstring>&) {
    const int fd = open(ToNarrow(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool done = syncfs(fd) == 0;
    const int error = errno;
    close(fd);
    errno = error;
    return done;
}

struct FileLock::Handle {
    int fd = -1;
    ~Handle() {
        if (fd >= 0)
            close(fd); // releases the lock
    }
};

FileLock::FileLock(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}
FileLock::FileLock(FileLock&&) noexcept = default;
FileLock& FileLock::operator=(FileLock&&) noexcept = default;
FileLock::~FileLock() = default;

std::optional<FileLock> TryLockFile(const std::wstring& path) {
    auto handle = std::make_unique<FileLock::Handle>();
    handle->fd = open(ToNarrow(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (handle->fd < 0 || flock(handle->fd, LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;
    return FileLock(std::move(handle));
}

} // namespace qxplat
