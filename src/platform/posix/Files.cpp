#include "platform/Files.h"

#include <cerrno>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include "platform/Text.h"

namespace qxplat {

namespace {

// Windows compares file names without regard to case, and the launcher's files are named in
// more than one spelling ("QXUrl.net", "qxurl.net"). When the exact name is missing, an entry
// of the same folder that differs only in case stands for it.
std::string ResolveName(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return path;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return path;
    std::string found = path;
    while (const dirent* entry = readdir(dir)) {
        if (strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = slash == std::string::npos ? entry->d_name : folder + entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace

FilePtr OpenShared(const std::wstring& path, const char* mode) {
    if (path.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    return FilePtr(std::fopen(ResolveName(ToNarrow(path)).c_str(), mode));
}

bool MakeDirectory(const std::wstring& path) { return mkdir(ToNarrow(path).c_str(), 0777) == 0; }

std::wstring FileNameKey(const std::wstring& name) { return name; }

namespace {

constexpr mode_t kPermissionBits = 07777;

// The run bits of the classes that may read under mode.
mode_t RunBitsOfReaders(mode_t mode) { return (mode & 0444) >> 2; }

} // namespace

bool MakeExecutable(const std::wstring& path) {
    const std::string name = ToNarrow(path);
    struct stat info;
    if (stat(name.c_str(), &info) != 0)
        return false;
    const mode_t mode = info.st_mode & kPermissionBits;
    const mode_t wanted = mode | RunBitsOfReaders(mode);
    return wanted == mode || chmod(name.c_str(), wanted) == 0;
}

void KeepReplacedMode(const std::wstring& replaced, const std::wstring& copy) {
    const std::string copyName = ToNarrow(copy);
    struct stat old;
    struct stat fresh;
    if (stat(ToNarrow(replaced).c_str(), &old) != 0 || stat(copyName.c_str(), &fresh) != 0)
        return;
    const mode_t mode = old.st_mode & kPermissionBits;
    chmod(copyName.c_str(), mode | (fresh.st_mode & RunBitsOfReaders(mode)));
}

} // namespace qxplat
