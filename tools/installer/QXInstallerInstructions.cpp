#include "QXInstallerInstructions.h"

#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <map>

#include "base/QXText.h"
#include "platform/Profile.h"
#include "platform/System.h"

namespace {

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

// The keys of one section as first written, by lower-case name (names match without regard
// to case, and the first of two equal keys wins, as the profile functions read them).
using Keys = std::map<std::wstring, std::wstring>;

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return text;
}

// Entries are read in number order up to the first that is missing, as they were written.
std::vector<SQXInstallerEntry> Entries(const Keys& keys, bool withParameters) {
    std::vector<SQXInstallerEntry> entries;
    for (int n = 1; n <= kMaxEntries; ++n) {
        const std::wstring number = std::to_wstring(n);
        const auto name = keys.find(L"file" + number);
        if (name == keys.end())
            break;
        SQXInstallerEntry entry{WithPlatformSeparators(name->second), {}};
        const auto parameters = keys.find(L"param" + number);
        if (withParameters && parameters != keys.end())
            entry.parameters = parameters->second;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::wstring Value(const Keys& keys, const wchar_t* key) {
    const auto found = keys.find(key);
    return found == keys.end() ? std::wstring() : found->second;
}

} // namespace

// The file is read once: looking each key up in the file again costs a pass per entry.
bool CQXInstallerInstructions::Read(const std::wstring& file) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(QXFsPath(file), ignored))
        return false;
    const std::vector<std::wstring> names = {L"Config", L"Move",    L"Delete", L"Register",
                                             L"Update", L"Install", L"Extract"};
    std::vector<Keys> sections(names.size());
    const bool read = qxplat::ReadIniSections(
        file, names,
        [&sections](std::size_t section, const std::wstring& key,
                    const std::optional<std::wstring>& value) {
            if (value)
                sections[section].emplace(Lower(key), *value);
        },
        kValueCapacity);
    if (!read)
        return false;
    const Keys& config = sections[0];
    destination = AsDirectory(Value(config, L"dst"));
    source = AsDirectory(Value(config, L"src"));
    label = Value(config, L"applicationlabel");
    const std::wstring count = Value(config, L"nbfile");
    fileCount = count.empty() ? -1 : static_cast<int>(std::wcstol(count.c_str(), nullptr, 10));
    move = Entries(sections[1], false);
    remove = Entries(sections[2], false);
    registration = Entries(sections[3], false);
    update = Entries(sections[4], true);
    install = Entries(sections[5], false);
    extract = Entries(sections[6], false);
    return !destination.empty() && !source.empty();
}
