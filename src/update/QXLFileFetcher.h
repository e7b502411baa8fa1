#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Crypto.h"
#include "platform/HttpTransport.h"
#include "protocol/QXLDownloader.h"
#include "protocol/QXLFailureNote.h"

class CQXChecksum;
class IQXLBodySink;

// A GetAppFileDelta request: the server name of the file the frame stands for and, for a
// patch, the base's size and checksum (empty for the file packed on its own). With a sink, the
// frame's bytes go there as they arrive instead of into a file, and the sink answers for what
// it writes.
struct SQXLFrameRequest {
    std::wstring serverName;
    std::wstring baseSize;
    std::wstring baseChecksum;
    IQXLBodySink* sink = nullptr;
};
class CQXLDownloadMonitor;
class CQXLFile;

// Fetches the files of a list over the downloader's download servers: the copy must have the
// list's size and checksum (and, with a signed list, its SHA-256), a server-given name must
// stay inside the download directory, and the installer is checked beside the other files
// before it moves into place.
class CQXLFileFetcher {
public:
    // Why the latest file that could not be fetched failed: its transfer, its bytes against
    // the list, or no digest from a signed list to vouch for it.
    enum class Failure { Transfer, Mismatch, Unsigned };

    // downloader outlives this object and gives the session, servers and credentials; every
    // file comes over transport, which outlives it too.
    explicit CQXLFileFetcher(CQXLDownloader& downloader,
                             qxplat::HttpTransport& transport = qxplat::SystemHttpTransport());
    ~CQXLFileFetcher();

    CQXLFileFetcher(const CQXLFileFetcher&) = delete;
    CQXLFileFetcher& operator=(const CQXLFileFetcher&) = delete;

    // Stores installationDirectory (with its trailing separator) and makes
    // installationDirectory + subDirectory the download directory, creating it. True when it
    // exists afterwards. Serialised with other callers.
    bool CreateDownloadDirectory(const std::wstring& installationDirectory,
                                 const std::wstring& subDirectory);
    const std::wstring& GetDownloadDirectory() const { return m_downloadDirectory; }
    const std::wstring& GetInstallationDirectory() const { return m_installationDirectory; }
    // Creates each level of relativePath (separated by either slash) below base, which ends
    // with a separator. A path that would leave base is refused with an error line.
    bool CreatePathDirectories(const std::wstring& base, const std::wstring& relativePath);

    // Fetches one file of the list into the download directory (QXInstaller.exe into the
    // installation directory) over the download server list, moving monitor's bar. The copy
    // must have the list's size and checksum.
    bool GetAppFile(const CQXLFile& file, CQXLDownloadMonitor* monitor);
    // Of the latest GetAppFile that failed: why, and the text of its last error line.
    Failure LastFailure() const { return m_lastFailure; }
    const std::wstring& LastFailureText() const { return m_lastFailureText; }
    // Takes other's latest failure as this fetcher's own.
    void TakeFailure(const CQXLFileFetcher& other) {
        m_lastFailure = other.m_lastFailure;
        m_lastFailureText = other.m_lastFailureText;
    }
    // Fetches the whole file set as one archive, written as archive's name and path.
    bool GetAppZippedFiles(const CQXLFile& archive, CQXLDownloadMonitor* monitor);
    // One download over the download server list, failing over until some server delivers a
    // whole reply with status 200; withFileValue names the file in the body and checks the
    // copy against the list. An empty file is created without a request. The target is never
    // left half written: a failed attempt removes it. With frame, the body names the frame's
    // file and base instead of file, which is then the frame as the list announces it.
    bool DownloadFile(const CQXLFile& file, CQXLDownloadMonitor* monitor,
                      const std::wstring& service, bool withFileValue,
                      const SQXLFrameRequest* frame = nullptr);

    // A fetcher over the same downloader and transport, with this one's directories and
    // time-outs, to work beside it.
    std::unique_ptr<CQXLFileFetcher> Sibling() const;
    // Ends this fetcher's requests once stop is stopped (null: never), from any thread.
    void SetStop(std::shared_ptr<const qxplat::HttpStop> stop) { m_stop = std::move(stop); }

    // For tests only: the connect and receive time-outs of downloads, in milliseconds.
    void SetDownloadTimeoutsForTests(unsigned long connectMs, unsigned long receiveMs) {
        m_downloadConnectMs = connectMs;
        m_downloadReceiveMs = receiveMs;
    }

private:
    struct FileAttempt;
    struct Link;
    // The request of an attempt, over the connection kept from the previous file when it
    // goes to the same server; null after the step's error line.
    std::unique_ptr<qxplat::HttpRequest>
    OpenRequest(CQXLDownloadMonitor* monitor, const FileAttempt& attempt, qxplat::HttpError& error);
    bool DownloadAttempt(const CQXLFile& file, CQXLDownloadMonitor* monitor, FileAttempt& attempt);
    bool ReceiveFile(qxplat::HttpRequest& request, const CQXLFile& file, FileAttempt& attempt);
    bool WriteBody(qxplat::HttpRequest& request, const CQXLFile& file, FileAttempt& attempt,
                   std::FILE* out, CQXChecksum& checksum, qxplat::Sha256* sha256,
                   std::uint64_t& size);
    // Hands one block to the attempt's sink, or writes it to out; an empty block ends the body.
    // False with an error line.
    bool PutBlock(const CQXLFile& file, FileAttempt& attempt, std::FILE* out, const char* bytes,
                  std::size_t size);
    // True when the sink's answer is no failure; otherwise an error line with it.
    bool Unpacked(const CQXLFile& file, const std::wstring& failure);
    // True when sha256's digest is expected; otherwise an error line naming the digest.
    bool MatchesDigest(const CQXLFile& file, qxplat::Sha256 sha256,
                       const qxplat::Sha256Digest& expected);
    bool CreateEmptyFile(const CQXLFile& file);
    // The latest error line is why the file fails: kind says what it found.
    void NoteFailure(Failure kind);
    void LogAttemptError(const wchar_t* failure, const FileAttempt& attempt, unsigned long error,
                         int step);

    CQXLDownloader& m_downloader;
    qxplat::HttpTransport& m_transport;
    CQXLLog& m_log;
    std::mutex m_directoryLock;
    std::wstring m_downloadDirectory;
    std::wstring m_installationDirectory;
    unsigned long m_downloadConnectMs = 30000;
    unsigned long m_downloadReceiveMs = 30000;
    // Why the last attempt failed, for its plain line.
    CQXLFailureNote m_failure;
    Failure m_lastFailure = Failure::Transfer;
    std::wstring m_lastFailureText;
    std::shared_ptr<const qxplat::HttpStop> m_stop;
    // The session and connection the previous file came over, kept alive for the next.
    std::unique_ptr<Link> m_link;
};
