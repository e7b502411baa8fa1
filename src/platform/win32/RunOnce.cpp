#include "platform/RunOnce.h"

#include <windows.h>

namespace qxplat {

namespace {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (m_key != nullptr)
            RegCloseKey(m_key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY* Receive() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace

RunOnceResult SetRunOnceEntry(const std::wstring& name, const std::wstring& program,
                              unsigned long& error) {
    RegistryKey key;
    wchar_t keyClass[] = L"REG_SZ";
    // The registry functions return their error code instead of setting the last error.
    LONG status = RegCreateKeyExW(
        HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Runonce", 0, keyClass,
        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr);
    if (status != ERROR_SUCCESS) {
        error = static_cast<unsigned long>(status);
        return RunOnceResult::PlaceFailed;
    }
    const auto bytes = static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(program.c_str()), bytes);
    if (status != ERROR_SUCCESS) {
        error = static_cast<unsigned long>(status);
        return RunOnceResult::EntryFailed;
    }
    return RunOnceResult::Written;
}

std::wstring ProgramFileName(const std::wstring& base) { return base + L".exe"; }

} // namespace qxplat
