#pragma once

#include <string>
#include <vector>

#include "config/QXUrlServerList.h"

// The request flags that let an HTTPS request pass a certificate with a wrong name or date,
// and the security flag that lets it pass an unknown issuing authority.
constexpr unsigned long kQXIgnoreCertificateNameAndDate = 0x3000;
constexpr unsigned long kQXIgnoreUnknownAuthority = 0x100;

// How many files of an update may be fetched at once ([FileDownload] "Parallel").
constexpr int kDefaultParallelDownloads = 4;
constexpr int kMaxParallelDownloads = 16;
// The count a "Parallel" value asks for; 0 when it is not a whole number from 1 to
// kMaxParallelDownloads.
int QXParallelDownloadsValue(const std::wstring& value);

// The installation's URL configuration, qxurl.net beside the program: the request and download
// server lists and a few switches. Read once, on the worker thread, before any other thread
// starts; read-only afterwards. Never written.
class CQXUrlParser {
public:
    CQXUrlParser() = default;
    virtual ~CQXUrlParser() = default;

    CQXUrlParser(const CQXUrlParser&) = delete;
    CQXUrlParser& operator=(const CQXUrlParser&) = delete;

    // Reads qxurl.net in folder (with or without a trailing separator) at once. False, and
    // nothing read, for an empty folder or when a folder was already given: the file is read
    // once per run.
    bool SetInstallationPath(const std::wstring& folder);

    // The switches and texts; each reads the file first when it has not been read yet.
    bool SSO();
    bool ForceUpdate();
    bool ForceReboot();
    const std::wstring& ApplicationName();
    bool ChooseVersion();
    const std::wstring& LoginVariable();
    // The site's public keys ([QXLauncher] "UpdatePublicKey", then UpdatePublicKey2,
    // UpdatePublicKey3 ... up to the first absent one), each a base64 DER SubjectPublicKeyInfo
    // as written. Not empty: every reply that decides what is installed must be signed by one
    // of them, and every file must match its SHA-256. Without any in [QXLauncher], those put
    // under [Config], else [FileDownload], by mistake.
    const std::vector<std::wstring>& UpdatePublicKeys();
    bool VerifiesSignatures() { return !UpdatePublicKeys().empty(); }
    // The path of the PEM bundle of authorities that HTTPS trusts besides the system's
    // ([Config] SecurityCAFile: a name beside qxurl.net, or an absolute path); empty for none.
    const std::wstring& SecurityCAFile() const { return m_securityCaFile; }

    // The [Config] servers, in file order.
    CQXUrlServerList& GetServerList() { return m_serverList; }
    // The [FileDownload] servers, or the [Config] servers when that section names none.
    CQXUrlServerList& GetDownloadServerList();
    // True without a [FileDownload] server, else whether one of them is reachable.
    bool HasReachableDownloadServer() const;
    // [FileDownload] "Parallel": how many files of an update are fetched at once, a whole
    // number from 1 (one after the other) to kMaxParallelDownloads; kDefaultParallelDownloads
    // when absent or anything else.
    int ParallelDownloads();
    // The server URLs of either section that name a port above 65535, in file order: they
    // are in neither list.
    const std::vector<std::wstring>& RefusedUrls() const { return m_refusedUrls; }

    // Certificate leniency for HTTPS requests: kQXIgnoreCertificateNameAndDate and
    // kQXIgnoreUnknownAuthority when SecurityIgnoreUnknownCertificate is on, else 0.
    unsigned long GetRequestCertificateFlags() const;
    unsigned long GetSecurityCertificateFlags() const;

    const std::wstring& GetFilePath() const { return m_filePath; }

private:
    void Load();
    void EnsureLoaded();

    bool m_loaded = false;
    std::wstring m_filePath;
    CQXUrlServerList m_serverList;
    CQXUrlServerList m_downloadServerList;
    std::vector<std::wstring> m_refusedUrls;
    bool m_sso = false;
    bool m_ignoreUnknownCertificate = false;
    std::wstring m_securityCaFile;
    bool m_forceUpdate = false;
    bool m_forceReboot = false;
    std::wstring m_applicationName;
    bool m_chooseVersion = false;
    std::wstring m_loginVariable;
    int m_parallelDownloads = kDefaultParallelDownloads;
    std::vector<std::wstring> m_updatePublicKeys;
};
