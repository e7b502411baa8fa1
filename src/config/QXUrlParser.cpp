#include "config/QXUrlParser.h"

#include "base/QXFormat.h"
#include "base/QXText.h"
#include "platform/Profile.h"
#include "platform/System.h"

namespace {

constexpr wchar_t kFileName[] = L"qxurl.net";
constexpr wchar_t kConfigSection[] = L"Config";
constexpr wchar_t kDownloadSection[] = L"FileDownload";
constexpr wchar_t kLauncherSection[] = L"QXLauncher";

// The words that switch the version choice on, in any letter case.
constexpr const wchar_t* kChooseVersionWords[] = {L"true", L"yes", L"oui", L"O", L"Y", L"1"};

bool IsChooseVersionWord(const std::wstring& value) {
    for (const wchar_t* word : kChooseVersionWords)
        if (QXEqualsNoCase(value, word))
            return true;
    return false;
}

} // namespace

bool CQXUrlParser::SetInstallationPath(const std::wstring& folder) {
    if (folder.empty() || !m_filePath.empty())
        return false;
    m_filePath = folder;
    if (m_filePath.back() != qxplat::kPathSeparator)
        m_filePath.push_back(qxplat::kPathSeparator);
    m_filePath += kFileName;
    Load();
    return true;
}

void CQXUrlParser::EnsureLoaded() {
    if (!m_loaded)
        Load();
}

// A missing file reads as a file without keys: empty lists, every switch off.
void CQXUrlParser::Load() {
    m_loaded = true;
    if (m_filePath.empty())
        return;
    ReadServers(kConfigSection, m_serverList, false);
    ReadServers(kDownloadSection, m_downloadServerList, true);

    m_sso = QXEqualsNoCase(ReadValue(kConfigSection, L"SSO"), L"Yes");
    m_ignoreUnknownCertificate =
        QXEqualsNoCase(ReadValue(kConfigSection, L"SecurityIgnoreUnknownCertificate"), L"Yes");
    m_forceUpdate = QXEqualsNoCase(ReadValue(kLauncherSection, L"ForceUpdate"), L"True");
    m_forceReboot = QXEqualsNoCase(ReadValue(kLauncherSection, L"ForceReboot"), L"True");
    m_applicationName = ReadValue(kLauncherSection, L"ApplicationName");
    m_chooseVersion = IsChooseVersionWord(ReadValue(kLauncherSection, L"ChooseVersion"));
    m_loginVariable = ReadValue(kLauncherSection, L"LoginVariable");
    ReadPublicKeys();
}

// Several keys let a site roll its signing key over: launchers carry the old and the new key
// until the server signs with the new one.
void CQXUrlParser::ReadPublicKeys() {
    std::wstring value = ReadValue(kLauncherSection, L"UpdatePublicKey");
    for (int n = 2; !value.empty(); ++n) {
        m_updatePublicKeys.push_back(value);
        value = ReadValue(kLauncherSection, QXFormat(L"UpdatePublicKey%d", n));
    }
}

// "URL" first (optional), then URL1, URL2 ... up to the first absent or empty one. A download
// server that the request list already names is that same object, so that its reachability
// and place are seen by both lists.
void CQXUrlParser::ReadServers(const wchar_t* section, CQXUrlServerList& list,
                               bool reuseRequestServers) {
    std::wstring value = ReadValue(section, L"URL");
    for (int n = 1;; ++n) {
        if (!value.empty()) {
            QXUrlServerPtr server = reuseRequestServers ? m_serverList.FindServer(value) : nullptr;
            if (!server) {
                server = std::make_shared<CQXUrlServer>();
                server->SetUrl(value);
            }
            list.AddServer(std::move(server));
        }
        value = ReadValue(section, QXFormat(L"URL%d", n));
        if (value.empty())
            break;
    }
}

std::wstring CQXUrlParser::ReadValue(const wchar_t* section, const std::wstring& key) const {
    return qxplat::ReadIniString(m_filePath, section, key, L"");
}

bool CQXUrlParser::SSO() {
    EnsureLoaded();
    return m_sso;
}

bool CQXUrlParser::ForceUpdate() {
    EnsureLoaded();
    return m_forceUpdate;
}

bool CQXUrlParser::ForceReboot() {
    EnsureLoaded();
    return m_forceReboot;
}

const std::wstring& CQXUrlParser::ApplicationName() {
    EnsureLoaded();
    return m_applicationName;
}

bool CQXUrlParser::ChooseVersion() {
    EnsureLoaded();
    return m_chooseVersion;
}

const std::wstring& CQXUrlParser::LoginVariable() {
    EnsureLoaded();
    return m_loginVariable;
}

const std::vector<std::wstring>& CQXUrlParser::UpdatePublicKeys() {
    EnsureLoaded();
    return m_updatePublicKeys;
}

CQXUrlServerList& CQXUrlParser::GetDownloadServerList() {
    return m_downloadServerList.GetCount() > 0 ? m_downloadServerList : m_serverList;
}

bool CQXUrlParser::HasReachableDownloadServer() const {
    return m_downloadServerList.GetCount() == 0 || m_downloadServerList.HasReachableServer();
}

unsigned long CQXUrlParser::GetRequestCertificateFlags() const {
    return m_ignoreUnknownCertificate ? kQXIgnoreCertificateNameAndDate : 0;
}

unsigned long CQXUrlParser::GetSecurityCertificateFlags() const {
    return m_ignoreUnknownCertificate ? kQXIgnoreUnknownAuthority : 0;
}
