#include "update/QXLFileFetcher.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "base/QXText.h"
#include "config/QXUrlParser.h"
#include "platform/Crypto.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "protocol/QXLFormBody.h"
#include "protocol/QXLReplySignature.h"
#include "protocol/QXLSendLoop.h"
#include "update/QXChecksum.h"
#include "update/QXLBodySink.h"
#include "update/QXLDownloadMonitor.h"
#include "update/QXLFile.h"
#include "update/QXLFileSet.h"
#include "update/QXLSafeName.h"

namespace {

namespace fs = std::filesystem;

constexpr wchar_t kSourceFile[] = L".\\QXLDownloader";
// Reads and writes go in blocks of this size; each received block moves the bar.
constexpr std::size_t kBlockSize = 64 * 1024;

// The line number that each failing step of a download carries in its error line.
enum DownloadStep : int {
    kStepOpenSession = 1285,
    kStepWatchBytes = 1304,
    kStepConnect = 1338,
    kStepOpenRequest = 1369,
    kStepSend = 1425,
    kStepRetry = 1446,
    kStepProxyUserName = 1464,
    kStepProxyPassword = 1483,
    kStepCreateFile = 1536,
};

// Counts the bytes of the current reply and moves the monitor's bar with each block.
class CQXLDownloadWatch final : public qxplat::HttpReceiveObserver {
public:
    // The monitor of the file on its way.
    void SetMonitor(const CQXLDownloadMonitor* monitor) { m_monitor = monitor; }

    void RequestSent() override { m_received = 0; }
    void BytesReceived(unsigned long count) override {
        m_received = static_cast<std::uint32_t>(m_received + count);
        if (m_monitor != nullptr)
            m_monitor->Progress(m_received);
    }

private:
    const CQXLDownloadMonitor* m_monitor = nullptr;
    std::uint32_t m_received = 0;
};

// The "/"-separated name the server knows the file by.
std::wstring ServerFileName(const CQXLFile& file) {
    std::wstring name = file.ServerPath() + file.FileName();
    for (wchar_t& c : name) {
        if (c == L'\\')
            c = L'/';
    }
    return name;
}

bool IsDirectory(const std::wstring& path) {
    std::error_code ignored;
    return fs::is_directory(QXFsPath(path), ignored);
}

void RemoveFile(const std::wstring& path) {
    std::error_code ignored;
    fs::remove(QXFsPath(path), ignored);
}

// Splits a relative path at either slash, skipping empty pieces.
std::vector<std::wstring> PathPieces(const std::wstring& path) {
    std::vector<std::wstring> pieces;
    std::wstring piece;
    for (wchar_t c : path + L'/') {
        if (c != L'\\' && c != L'/') {
            piece.push_back(c);
            continue;
        }
        if (!piece.empty())
            pieces.push_back(piece);
        piece.clear();
    }
    return pieces;
}

// Fills block from the reply until it is full or the body ends: whole blocks go to the disk
// even when the transport hands the body over in smaller pieces. filled is 0 at the end.
bool FillBlock(qxplat::HttpRequest& request, std::vector<char>& block, std::size_t& filled,
               qxplat::HttpError& error) {
    filled = 0;
    while (filled < block.size()) {
        std::size_t received = 0;
        if (!request.Read(block.data() + filled, block.size() - filled, received, error))
            return false;
        if (received == 0)
            break;
        filled += received;
    }
    return true;
}

// The digest a signed list gives for file; nothing when the text is not one.
std::optional<qxplat::Sha256Digest> ListedDigest(const CQXLFile& file) {
    const auto bytes = QXLFromHex(qxplat::ToNarrow(file.Sha256()));
    qxplat::Sha256Digest digest{};
    if (!bytes || bytes->size() != digest.size())
        return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), digest.begin());
    return digest;
}

} // namespace

// The session and connection of the previous file: the next file to the same server goes over
// the connection the server kept alive instead of a new one.
struct CQXLFileFetcher::Link {
    CQXLDownloadWatch watch;
    std::unique_ptr<qxplat::HttpSession> session;
    std::unique_ptr<qxplat::HttpConnection> connection;
    std::wstring server; // host, port and scheme of the connection
};

CQXLFileFetcher::CQXLFileFetcher(CQXLDownloader& downloader, qxplat::HttpTransport& transport)
    : m_downloader(downloader), m_transport(transport), m_log(downloader.GetLog()) {}

CQXLFileFetcher::~CQXLFileFetcher() = default;

std::unique_ptr<CQXLFileFetcher> CQXLFileFetcher::Sibling() const {
    auto sibling = std::make_unique<CQXLFileFetcher>(m_downloader, m_transport);
    sibling->m_downloadDirectory = m_downloadDirectory;
    sibling->m_installationDirectory = m_installationDirectory;
    sibling->m_downloadConnectMs = m_downloadConnectMs;
    sibling->m_downloadReceiveMs = m_downloadReceiveMs;
    return sibling;
}

// One attempt's server and request, for the error lines, and where its bytes go.
struct CQXLFileFetcher::FileAttempt {
    const CQXUrlServer& server;
    std::wstring object;
    const CQXLFormBody& body;
    bool checkCopy = false;
    std::wstring writePath; // where the bytes are written
    std::wstring finalPath; // where the checked copy ends up
    unsigned long lastError = 0;
    // The SHA-256 the copy must have, when the list is signed.
    std::optional<qxplat::Sha256Digest> sha256;
    std::string head;             // the first bytes received, which tell a program
    IQXLBodySink* sink = nullptr; // where the bytes go instead of writePath
};

bool CQXLFileFetcher::CreateDownloadDirectory(const std::wstring& installationDirectory,
                                              const std::wstring& subDirectory) {
    std::lock_guard<std::mutex> lock(m_directoryLock);
    m_installationDirectory = installationDirectory;
    m_downloadDirectory = installationDirectory + subDirectory;
    if (qxplat::MakeDirectory(m_downloadDirectory))
        return true;
    const auto error = static_cast<long long>(qxplat::LastError());
    if (IsDirectory(m_downloadDirectory))
        return true;
    m_log.LogError(L"Unable to create download directory (%s) : %d", m_downloadDirectory, error);
    return false;
}

bool CQXLFileFetcher::CreatePathDirectories(const std::wstring& base,
                                            const std::wstring& relativePath) {
    if (const wchar_t* reason = QXLUnsafeFilePathReason(relativePath)) {
        m_log.LogError(L"Refused to create directory \"%s\" : %s", relativePath, reason);
        return false;
    }
    std::wstring directory = base;
    for (const std::wstring& piece : PathPieces(relativePath)) {
        directory += piece;
        directory += qxplat::kPathSeparator;
        if (qxplat::MakeDirectory(directory))
            continue;
        const auto error = static_cast<long long>(qxplat::LastError());
        if (IsDirectory(directory))
            continue;
        m_log.LogError(L"Failed to create directory \"%s\" : %d", directory, error);
        return false;
    }
    return true;
}

bool CQXLFileFetcher::GetAppFile(const CQXLFile& file, CQXLDownloadMonitor* monitor) {
    m_lastFailure = Failure::Transfer;
    m_lastFailureText.clear();
    if (DownloadFile(file, monitor, L"GetAppFile", true))
        return true;
    if (m_lastFailureText.empty())
        m_lastFailureText = m_log.LastError();
    return false;
}

void CQXLFileFetcher::NoteFailure(Failure kind) {
    m_lastFailure = kind;
    m_lastFailureText = m_log.LastError();
}

bool CQXLFileFetcher::GetAppZippedFiles(const CQXLFile& archive, CQXLDownloadMonitor* monitor) {
    return DownloadFile(archive, monitor, L"GetAppZippedFiles", false);
}

bool CQXLFileFetcher::DownloadFile(const CQXLFile& file, CQXLDownloadMonitor* monitor,
                                   const std::wstring& service, bool withFileValue,
                                   const SQXLFrameRequest* frame) {
    CQXUrlParser* configuration = m_downloader.GetConfiguration();
    if (configuration == nullptr)
        return false;
    const wchar_t* unsafe = QXLUnsafeFileNameReason(file.FileName());
    if (unsafe == nullptr)
        unsafe = QXLUnsafeFilePathReason(file.FilePath());
    if (unsafe != nullptr) {
        m_log.LogError(L"Refused to download \"%s%s\" : %s", file.FilePath(), file.FileName(),
                       unsafe);
        return false;
    }
    // With keys, every byte installed must be vouched for by the signed list's SHA-256.
    std::optional<qxplat::Sha256Digest> digest;
    if (configuration->VerifiesSignatures()) {
        digest = withFileValue ? ListedDigest(file) : std::nullopt;
        if (!digest) {
            m_log.LogError(L"Refused to download \"%s%s\" : no SHA-256 from a signed list",
                           file.FilePath(), file.FileName());
            NoteFailure(Failure::Unsigned);
            return false;
        }
    }
    CQXLFormBody body;
    body.Add(L"sessionid", m_downloader.GetSessionId())
        .Add(L"application", m_downloader.GetApplicationName())
        .Add(L"version", m_downloader.GetVersionName());
    if (withFileValue)
        body.Add(L"filename", frame != nullptr ? frame->serverName : ServerFileName(file));
    if (frame != nullptr && !frame->baseSize.empty())
        body.Add(L"basesize", frame->baseSize).Add(L"basechecksum", frame->baseChecksum);
    body.Add(L"lang", QXLanguageCode(m_downloader.GetLanguage()));
    if (!m_downloader.IsWhole(service, body))
        return false;

    const std::wstring target = m_downloadDirectory + file.FilePath() + file.FileName();
    const bool installer = QXLIsInstallerFile(file.FileName());
    // Each server once; fetchers side by side fail over the same list.
    CQXUrlServerList& servers = configuration->GetDownloadServerList();
    const int count = servers.GetCount();
    QXUrlServerPtr server = servers.GetCurrentServer();
    for (int tried = 1; server; ++tried) {
        bool done = false;
        m_failure.Clear();
        if (file.FileSize() == 0) {
            done = (!digest || MatchesDigest(file, qxplat::Sha256(), *digest)) &&
                   CreateEmptyFile(file);
        } else {
            // The installer is fetched and checked beside the other files, then moved into
            // place, so that a failed download never leaves a broken installer behind.
            FileAttempt attempt{
                *server, server->GetPath() + service,
                body,    withFileValue,
                target,  installer ? m_installationDirectory + file.FileName() : target,
                0,       digest,
                {}};
            attempt.sink = frame != nullptr ? frame->sink : nullptr;
            done = DownloadAttempt(file, monitor, attempt);
        }
        if (done) {
            servers.ResetFailover();
            return true;
        }
        m_log.LogWarning(L"Failed to download from %s", server->GetUrl());
        m_log.LogWarning(L"%s", m_failure.Line(*server, server->GetPath() + service));
        server = servers.NextServerAfter(server);
        if (tried >= count)
            break;
    }
    return false;
}

bool CQXLFileFetcher::CreateEmptyFile(const CQXLFile& file) {
    // The file's folders are made here too: an empty file in a new folder is still a file.
    if (!file.FilePath().empty())
        CreatePathDirectories(m_downloadDirectory, file.FilePath());
    const std::wstring path = m_downloadDirectory + file.FilePath() + file.FileName();
    if (qxplat::OpenShared(path, "wb"))
        return true;
    m_log.LogError(L"Unable to create file %s : %d", path,
                   static_cast<long long>(qxplat::LastError()));
    return false;
}

void CQXLFileFetcher::LogAttemptError(const wchar_t* failure, const FileAttempt& attempt,
                                      unsigned long error, int step) {
    m_failure.Transport(error, std::wstring());
    const std::wstring format = std::wstring(L" ... ") + failure +
                                L" %s[%s] \"http%s://%s:%i%s\" with last error %i on file %s, "
                                L"line %i";
    m_log.LogError(format.c_str(), L"POST", attempt.body.LogText(),
                   attempt.server.IsSecure() ? L"s" : L"", attempt.server.GetHost(),
                   attempt.server.GetPort(), attempt.object, static_cast<long long>(error),
                   kSourceFile, step);
}

bool CQXLFileFetcher::DownloadAttempt(const CQXLFile& file, CQXLDownloadMonitor* monitor,
                                      FileAttempt& attempt) {
    if (!file.FilePath().empty())
        CreatePathDirectories(m_downloadDirectory, file.FilePath());
    const CQXUrlServer& server = attempt.server;
    qxplat::HttpError error;
    std::unique_ptr<qxplat::HttpRequest> request = OpenRequest(monitor, attempt, error);
    if (!request) {
        m_link.reset();
        m_log.LogError(L"Unable to initiate Internet connection for %s : %d", file.FileName(),
                       static_cast<long long>(error.code));
        return false;
    }
    request->SetTimeouts(m_downloadConnectMs, m_downloadReceiveMs);
    if (m_stop)
        request->SetStop(m_stop);
    request->TrustAuthorities(m_downloader.GetConfiguration()->SecurityCAFile());
    request->SetMinimumRate(qxplat::kHttpMinimumBytesPerSecond,
                            m_downloader.GetMinimumRateWindow());
    m_downloader.GiveProxyCredentials(*request);

    SQXLSendHooks hooks;
    hooks.sendFailed = [&](unsigned long code) {
        LogAttemptError(L"Failed HttpSendRequest", attempt, code, kStepSend);
        m_failure.Transport(code, request->FailureDetail());
    };
    hooks.retryAsked = [&] {
        m_downloader.KeepRetryCredentials(
            *request, server, attempt.body, attempt.object, kStepRetry,
            [&](const qxplat::HttpError& error) {
                const bool user = error.step == qxplat::HttpStep::ReadProxyUserName;
                LogAttemptError(user ? L"Failed to retrieve INTERNET_OPTION_PROXY_USERNAME on"
                                     : L"Failed to retrieve INTERNET_OPTION_PROXY_PASSWORD on",
                                attempt, error.code,
                                user ? kStepProxyUserName : kStepProxyPassword);
            });
    };
    const std::string bytes =
        qxplat::ToCodePage(attempt.body.Text(), CQXLDownloader::WireCodePage());
    const bool sent = QXLSendWithDialogs(
        *request, bytes, m_downloader.GetConfiguration()->GetSecurityCertificateFlags() != 0,
        m_downloader.SharedPrompt(), attempt.lastError, hooks);
    if (sent && ReceiveFile(*request, file, attempt))
        return true;
    // The next attempt starts on a connection of its own, as the first one did.
    request.reset();
    m_link.reset();
    RemoveFile(attempt.writePath);
    if (qxplat::IsCertificateError(attempt.lastError))
        m_log.LogError(L"Unable to download file %s : %d (the server certificate may be invalid)",
                       file.FileName(), static_cast<long long>(attempt.lastError));
    else
        m_log.LogError(L"Unable to download file %s : %d", file.FileName(),
                       static_cast<long long>(attempt.lastError));
    return false;
}

std::unique_ptr<qxplat::HttpRequest> CQXLFileFetcher::OpenRequest(CQXLDownloadMonitor* monitor,
                                                                  const FileAttempt& attempt,
                                                                  qxplat::HttpError& error) {
    const CQXUrlServer& server = attempt.server;
    const bool secure = server.IsSecure() != 0;
    const std::wstring where =
        server.GetHost() + L":" + std::to_wstring(server.GetPort()) + (secure ? L"s" : L"");
    if (!m_link)
        m_link = std::make_unique<Link>();
    Link& link = *m_link;
    link.watch.SetMonitor(monitor);
    if (!link.connection || link.server != where) {
        link.connection.reset();
        if (!(link.session = m_transport.Open(L"QXLauncher", error))) {
            LogAttemptError(L"Failed InternetOpen", attempt, error.code, kStepOpenSession);
            return nullptr;
        }
        if (!link.session->WatchReceivedBytes(link.watch, error)) {
            LogAttemptError(L"Failed InternetSetStatusCallback for", attempt, error.code,
                            kStepWatchBytes);
            return nullptr;
        }
        if (!(link.connection = link.session->Connect(server.GetHost(),
                                                      static_cast<unsigned short>(server.GetPort()),
                                                      secure, error))) {
            LogAttemptError(L"Failed InternetConnect", attempt, error.code, kStepConnect);
            return nullptr;
        }
        link.server = where;
    }
    std::unique_ptr<qxplat::HttpRequest> request = link.connection->OpenRequest(
        L"POST", attempt.object, secure,
        m_downloader.GetConfiguration()->GetRequestCertificateFlags() != 0, error);
    if (!request)
        LogAttemptError(L"Failed HttpOpenRequest", attempt, error.code, kStepOpenRequest);
    return request;
}

bool CQXLFileFetcher::ReceiveFile(qxplat::HttpRequest& request, const CQXLFile& file,
                                  FileAttempt& attempt) {
    // An error page is not the file: only a 200 reply is written.
    if (!m_downloader.CheckStatusCode(request, m_failure)) {
        // The status says more than the failed download that follows it.
        NoteFailure(Failure::Transfer);
        return false;
    }
    qxplat::FilePtr out;
    if (attempt.sink != nullptr) {
        if (!Unpacked(file, attempt.sink->Begin()))
            return false;
    } else if (!(out = qxplat::OpenShared(attempt.writePath, "wb"))) {
        LogAttemptError(L"Failed CreateFile on", attempt, attempt.lastError, kStepCreateFile);
        return false;
    }
    CQXChecksum checksum;
    // Hashed as it is written, so that the check costs no second read of the file.
    std::optional<qxplat::Sha256> sha256;
    if (attempt.sha256)
        sha256.emplace();
    std::uint64_t size = 0;
    if (!WriteBody(request, file, attempt, out.get(), checksum, sha256 ? &*sha256 : nullptr, size))
        return false;
    // The last buffered bytes reach the disk here: a failed close is a failed write.
    if (out && std::fclose(out.release()) != 0) {
        attempt.lastError = qxplat::LastError();
        m_log.LogError(L"Unable to write file %s : %d", attempt.writePath,
                       static_cast<long long>(attempt.lastError));
        return false;
    }
    if (attempt.checkCopy && (size != static_cast<std::uint64_t>(file.FileSize()) ||
                              checksum.Value() != file.FileChecksum())) {
        m_log.LogError(L"Downloaded file %s differs from the list : %d bytes, checksum %u",
                       file.FileName(), static_cast<long long>(size),
                       static_cast<unsigned long>(checksum.Value()));
        m_failure.Refused(L"the file differs from the list");
        NoteFailure(Failure::Mismatch);
        return false;
    }
    if (sha256 && !MatchesDigest(file, std::move(*sha256), *attempt.sha256))
        return false;
    if (file.IsProgram(attempt.head) && !qxplat::MakeExecutable(attempt.writePath)) {
        attempt.lastError = qxplat::LastError();
        m_log.LogError(L"Unable to make %s executable : %d", attempt.writePath,
                       static_cast<long long>(attempt.lastError));
        return false;
    }
    if (attempt.finalPath == attempt.writePath)
        return true;
    qxplat::KeepReplacedMode(attempt.finalPath, attempt.writePath);
    std::error_code moveError;
    fs::rename(QXFsPath(attempt.writePath), QXFsPath(attempt.finalPath), moveError);
    if (!moveError)
        return true;
    attempt.lastError = static_cast<unsigned long>(moveError.value());
    m_log.LogError(L"Unable to move %s to %s : %d", attempt.writePath, attempt.finalPath,
                   static_cast<long long>(moveError.value()));
    return false;
}

bool CQXLFileFetcher::MatchesDigest(const CQXLFile& file, qxplat::Sha256 sha256,
                                    const qxplat::Sha256Digest& expected) {
    qxplat::Sha256Digest digest{};
    if (!sha256.Finish(digest)) {
        m_log.LogError(L"Unable to compute the SHA-256 of %s", file.FileName());
        return false;
    }
    if (digest == expected)
        return true;
    m_log.LogError(L"Downloaded file %s differs from the signed list : SHA-256 %s", file.FileName(),
                   qxplat::FromNarrow(QXLToHex(digest.data(), digest.size())));
    NoteFailure(Failure::Mismatch);
    return false;
}

bool CQXLFileFetcher::WriteBody(qxplat::HttpRequest& request, const CQXLFile& file,
                                FileAttempt& attempt, std::FILE* out, CQXChecksum& checksum,
                                qxplat::Sha256* sha256, std::uint64_t& size) {
    std::vector<char> block(kBlockSize);
    for (;;) {
        std::size_t filled = 0;
        qxplat::HttpError error;
        if (!FillBlock(request, block, filled, error)) {
            attempt.lastError = error.code;
            m_log.LogError(L"Error while retrieving file %s : %d", file.FileName(),
                           static_cast<long long>(error.code));
            m_failure.Transport(error.code, request.FailureDetail());
            return false;
        }
        if (!PutBlock(file, attempt, out, block.data(), filled))
            return false;
        if (filled == 0)
            return true;
        if (attempt.checkCopy)
            checksum.Update(block.data(), filled);
        if (sha256 != nullptr)
            sha256->Update(block.data(), filled);
        if (size == 0)
            attempt.head.assign(block.data(), std::min<std::size_t>(filled, 4));
        size += filled;
        // A reply longer than the listed file is not the file: stop before it fills the disk.
        if (attempt.checkCopy && size > static_cast<std::uint64_t>(file.FileSize())) {
            m_log.LogError(L"Downloaded file %s is longer than the list says (%d bytes)",
                           file.FileName(), static_cast<long long>(file.FileSize()));
            NoteFailure(Failure::Mismatch);
            return false;
        }
    }
}

bool CQXLFileFetcher::PutBlock(const CQXLFile& file, FileAttempt& attempt, std::FILE* out,
                               const char* bytes, std::size_t size) {
    if (attempt.sink != nullptr)
        return Unpacked(file, size == 0 ? attempt.sink->End() : attempt.sink->Write(bytes, size));
    if (size == 0 ? std::fflush(out) == 0 : std::fwrite(bytes, 1, size, out) == size)
        return true;
    attempt.lastError = qxplat::LastError();
    m_log.LogError(L"Unable to write file %s : %d", attempt.writePath,
                   static_cast<long long>(attempt.lastError));
    return false;
}

bool CQXLFileFetcher::Unpacked(const CQXLFile& file, const std::wstring& failure) {
    if (failure.empty())
        return true;
    m_log.LogError(L"Unable to unpack %s : %s", file.FileName(), failure);
    m_failure.Refused(failure);
    return false;
}
