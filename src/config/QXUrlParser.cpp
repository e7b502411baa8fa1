#include "config/QXUrlParser.h"

#include <cwctype>
#include <unordered_map>

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

// The keys this reader takes from one section, by their lower-case names; the first line of a
// name is the one that counts.
using SectionValues = std::unordered_map<std::wstring, std::wstring>;
enum SectionIndex : std::size_t { kConfig, kDownload, kLauncher, kSectionCount };

std::wstring Lowered(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return text;
}

// "url" and "url" followed by digits, the update keys likewise, and the switches: a file with
// thousands of other keys costs no memory for them.
bool IsWantedKey(const std::wstring& lowered) {
    static const wchar_t* const kNames[] = {L"sso",
                                            L"securityignoreunknowncertificate",
                                            L"securitycafile",
                                            L"forceupdate",
                                            L"forcereboot",
                                            L"applicationname",
                                            L"chooseversion",
                                            L"loginvariable",
                                            L"parallel"};
    if (lowered.compare(0, 3, L"url") == 0)
        return lowered.find_first_not_of(L"0123456789", 3) == std::wstring::npos;
    if (lowered.compare(0, 15, L"updatepublickey") == 0)
        return lowered.find_first_not_of(L"0123456789", 15) == std::wstring::npos;
    for (const wchar_t* name : kNames)
        if (lowered == name)
            return true;
    return false;
}

std::wstring Value(const SectionValues& values, const std::wstring& key) {
    const auto found = values.find(Lowered(key));
    return found == values.end() ? std::wstring() : found->second;
}

// The request servers by their lower-case URL text: the first of equal texts, as FindServer
// finds it, without a search of the list per download server.
using KnownServers = std::unordered_map<std::wstring, QXUrlServerPtr>;

// "URL" first (optional), then URL1, URL2 ... up to the first absent or empty one. A download
// server that the request list already names is that same object, so that its reachability
// and place are seen by both lists. A URL whose port no connection can reach joins neither
// list: it goes to refused, and the keys after it are still read.
void ReadServers(const SectionValues& values, CQXUrlServerList& list, KnownServers& known,
                 bool isRequestList, std::vector<std::wstring>& refused) {
    std::wstring value = Value(values, L"URL");
    for (int n = 1;; ++n) {
        if (!value.empty()) {
            std::wstring lowered = Lowered(value);
            const auto found = isRequestList ? known.end() : known.find(lowered);
            QXUrlServerPtr server = found != known.end() ? found->second : nullptr;
            if (!server) {
                server = std::make_shared<CQXUrlServer>();
                server->SetUrl(value);
                if (isRequestList)
                    known.emplace(std::move(lowered), server);
            }
            if (server->HasPortInRange())
                list.AddServer(std::move(server));
            else
                refused.push_back(value);
        }
        value = Value(values, QXFormat(L"URL%d", n));
        if (value.empty())
            break;
    }
}

// UpdatePublicKey, then UpdatePublicKey2, 3 ... up to the first absent or empty one. Several
// keys let a site roll its signing key over: launchers carry the old and the new key until the
// server signs with the new one.
std::vector<std::wstring> PublicKeys(const SectionValues& launcher) {
    std::vector<std::wstring> keys;
    std::wstring key = Value(launcher, L"UpdatePublicKey");
    for (int n = 2; !key.empty(); ++n) {
        keys.push_back(key);
        key = Value(launcher, QXFormat(L"UpdatePublicKey%d", n));
    }
    return keys;
}

// name as a path: as it is when absolute, else in the folder of file.
std::wstring BesideFile(const std::wstring& file, const std::wstring& name) {
    const bool absolute = (!name.empty() && (name[0] == L'/' || name[0] == L'\\')) ||
                          (name.size() > 1 && name[1] == L':');
    if (name.empty() || absolute)
        return name;
    return file.substr(0, file.find_last_of(qxplat::kPathSeparator) + 1) + name;
}

} // namespace

int QXParallelDownloadsValue(const std::wstring& value) {
    // Two digits at most: a longer number is out of range anyway, and never overflows here.
    if (value.empty() || value.size() > 2 ||
        value.find_first_not_of(L"0123456789") != std::wstring::npos)
        return 0;
    const int count = std::stoi(value);
    return count >= 1 && count <= kMaxParallelDownloads ? count : 0;
}

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

// The file is read in one pass and the keys looked up afterwards: it may list thousands of
// servers. A missing file reads as a file without keys: empty lists, every switch off.
void CQXUrlParser::Load() {
    m_loaded = true;
    if (m_filePath.empty())
        return;
    SectionValues values[kSectionCount];
    qxplat::ReadIniSections(m_filePath, {kConfigSection, kDownloadSection, kLauncherSection},
                            [&values](std::size_t section, const std::wstring& key,
                                      const std::optional<std::wstring>& value) {
                                std::wstring name = Lowered(key);
                                if (IsWantedKey(name))
                                    values[section].emplace(std::move(name),
                                                            value.value_or(std::wstring()));
                            });
    KnownServers known;
    ReadServers(values[kConfig], m_serverList, known, true, m_refusedUrls);
    ReadServers(values[kDownload], m_downloadServerList, known, false, m_refusedUrls);

    const SectionValues& config = values[kConfig];
    const SectionValues& launcher = values[kLauncher];
    m_sso = QXEqualsNoCase(Value(config, L"SSO"), L"Yes");
    m_ignoreUnknownCertificate =
        QXEqualsNoCase(Value(config, L"SecurityIgnoreUnknownCertificate"), L"Yes");
    m_securityCaFile = BesideFile(m_filePath, Value(config, L"SecurityCAFile"));
    m_forceUpdate = QXEqualsNoCase(Value(launcher, L"ForceUpdate"), L"True");
    m_forceReboot = QXEqualsNoCase(Value(launcher, L"ForceReboot"), L"True");
    m_applicationName = Value(launcher, L"ApplicationName");
    m_chooseVersion = IsChooseVersionWord(Value(launcher, L"ChooseVersion"));
    m_loginVariable = Value(launcher, L"LoginVariable");
    const int parallel = QXParallelDownloadsValue(Value(values[kDownload], L"Parallel"));
    m_parallelDownloads = parallel > 0 ? parallel : kDefaultParallelDownloads;
    // A key put in another section still holds: verification must never end by a misplaced line.
    m_updatePublicKeys = PublicKeys(launcher);
    for (const SectionValues* other : {&values[kConfig], &values[kDownload]})
        if (m_updatePublicKeys.empty())
            m_updatePublicKeys = PublicKeys(*other);
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

int CQXUrlParser::ParallelDownloads() {
    EnsureLoaded();
    return m_parallelDownloads;
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
