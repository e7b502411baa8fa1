#include "QXInstallerInstructions.h"

#include <filesystem>

#include "base/QXText.h"
#include "platform/Profile.h"
#include "platform/System.h"

namespace {

// No entry of the file can hold it: tells an absent key from an empty value.
constexpr wchar_t kAbsent[] = L"\x01";
constexpr int kMaxEntries = 100000;
constexpr std::size_t kValueCapacity = 4096;

std::wstring WithPlatformSeparators(std::wstring name) {
    for (wchar_t& c : name)
        if (c == L'\\' || c == L'/')
            c = qxplat::kPathSeparator;
    return name;
}

std::wstring AsDirectory(const std::wstring& text) {
    std::wstring directory = WithPlatformSeparators(text);
    if (!directory.empty() && directory.back() != qxplat::kPathSeparator)
        directory.push_back(qxplat::kPathSeparator);
    return directory;
}

// Entries are read in number order up to the first that is missing, as they were written.
std::vector<SQXInstallerEntry> ReadSection(const std::wstring& file, const wchar_t* section,
                                           bool withParameters) {
    std::vector<SQXInstallerEntry> entries;
    for (int n = 1; n <= kMaxEntries; ++n) {
        const std::wstring number = std::to_wstring(n);
        const std::wstring name =
            qxplat::ReadIniString(file, section, L"File" + number, kAbsent, kValueCapacity);
        if (name == kAbsent)
            break;
        SQXInstallerEntry entry{WithPlatformSeparators(name), {}};
        if (withParameters)
            entry.parameters =
                qxplat::ReadIniString(file, section, L"Param" + number, L"", kValueCapacity);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace

bool CQXInstallerInstructions::Read(const std::wstring& file) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(QXFsPath(file), ignored))
        return false;
    destination = AsDirectory(qxplat::ReadIniString(file, L"Config", L"Dst", L"", kValueCapacity));
    source = AsDirectory(qxplat::ReadIniString(file, L"Config", L"Src", L"", kValueCapacity));
    label = qxplat::ReadIniString(file, L"Config", L"ApplicationLabel", L"", kValueCapacity);
    fileCount = qxplat::ReadIniInt(file, L"Config", L"NbFile", -1);
    move = ReadSection(file, L"Move", false);
    remove = ReadSection(file, L"Delete", false);
    registration = ReadSection(file, L"Register", false);
    update = ReadSection(file, L"Update", true);
    install = ReadSection(file, L"Install", false);
    extract = ReadSection(file, L"Extract", false);
    return !destination.empty() && !source.empty();
}
