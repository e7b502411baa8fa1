#include "support/BusyFile.h"

#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

BusyFile::BusyFile(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::copy_file("/bin/sleep", path,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        return;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, error);
    const std::string program = path.string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("600"), nullptr};
    pid_t pid = -1;
    // glibc's posix_spawn returns once the child has executed the program, so its file is
    // busy from here on without waiting.
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return;
    m_handle = pid;
    m_created = true;
}

BusyFile::~BusyFile() {
    if (m_handle <= 0)
        return;
    kill(static_cast<pid_t>(m_handle), SIGKILL);
    int status = 0;
    waitpid(static_cast<pid_t>(m_handle), &status, 0);
}

namespace {

bool SetImmutable(const std::filesystem::path& path, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
}

} // namespace

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) : m_path(path) {
    if (geteuid() != 0) {
        if (chmod(path.c_str(), 0444) != 0)
            m_why = std::string("chmod failed: ") + std::strerror(errno);
        return;
    }
    if (!SetImmutable(path, true))
        m_why = std::string("running as root, where file modes do not refuse writers, and the "
                            "immutable flag cannot be set here: ") +
                std::strerror(errno);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (geteuid() == 0)
        SetImmutable(m_path, false);
    else
        chmod(m_path.c_str(), 0644);
}
