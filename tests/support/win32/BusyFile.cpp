#include "support/BusyFile.h"

#include <windows.h>

BusyFile::BusyFile(const std::filesystem::path& path) {
    // A running program's image refuses writers the same way: read sharing only.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    m_handle = reinterpret_cast<long long>(file);
    m_created = true;
}

BusyFile::~BusyFile() {
    if (m_created)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

ReadOnlyFile::ReadOnlyFile(const std::filesystem::path& path) : m_path(path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        !SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY))
        m_why = "cannot set the read-only attribute: error " + std::to_string(GetLastError());
    if (!m_why.empty())
        return;
    // Wine keeps the attribute as a file mode, which a super-user's process writes through.
    const HANDLE probe =
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        m_why = "the read-only attribute does not refuse writers on this system (Wine run by "
                "the super-user keeps it as a file mode only)";
    }
}

ReadOnlyFile::~ReadOnlyFile() { SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL); }
