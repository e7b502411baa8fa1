#include "platform/System.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/Text.h"

namespace qxplat {

const wchar_t kPathSeparator = L'/';

namespace {
constexpr std::uint16_t kLangEnglishUS = 0x0409;
constexpr std::uint16_t kLangFrench = 0x040C;
constexpr std::uint16_t kLangJapanese = 0x0411;
} // namespace

std::wstring ModulePath() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return {};
    }
    return FromNarrow(std::string(path, static_cast<std::size_t>(n)));
}

std::wstring CurrentDirectory() {
    char path[PATH_MAX];
    if (getcwd(path, sizeof path) == nullptr) {
        return {};
    }
    return FromNarrow(path);
}

std::optional<std::wstring> Environment(const std::wstring& name) {
    const char* value = std::getenv(ToNarrow(name).c_str());
    if (value == nullptr)
        return std::nullopt;
    return FromNarrow(value);
}

std::uint16_t UserUILanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0')
            continue;
        const std::string locale(value);
        if (locale.rfind("fr", 0) == 0)
            return kLangFrench;
        if (locale.rfind("ja", 0) == 0)
            return kLangJapanese;
        return kLangEnglishUS;
    }
    return kLangEnglishUS;
}

unsigned long CurrentThreadId() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

unsigned long LastError() { return static_cast<unsigned long>(errno); }

bool LocalTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

} // namespace qxplat
