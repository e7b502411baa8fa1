#include "update/QXLLastPrimary.h"

#include "platform/Profile.h"

namespace {

constexpr wchar_t kSection[] = L"QXLauncher";
constexpr wchar_t kName[] = L"LastPrimaryName";
constexpr wchar_t kParameters[] = L"LastPrimaryParameters";
// Marks a kept empty name apart from a key never written.
constexpr wchar_t kDefault[] = L"--";

} // namespace

CQXLLastPrimary::CQXLLastPrimary(const std::wstring& installationDirectory)
    : m_file(installationDirectory + L"QXLauncher.ini") {}

void CQXLLastPrimary::Remember(const CQXLPrimaryApplication& primary) const {
    qxplat::WriteIniString(m_file, kSection, kName,
                           primary.PrimaryName.empty() ? kDefault : primary.PrimaryName);
    qxplat::WriteIniString(m_file, kSection, kParameters, primary.PrimaryParameters);
}

std::optional<CQXLPrimaryApplication> CQXLLastPrimary::Recall() const {
    const std::wstring name = qxplat::ReadIniString(m_file, kSection, kName, std::wstring());
    if (name.empty())
        return std::nullopt;
    return CQXLPrimaryApplication{
        name == kDefault ? std::wstring() : name,
        qxplat::ReadIniString(m_file, kSection, kParameters, std::wstring())};
}
