#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The qxserver that tests/support/qxserver-ctl started for a CTest fixture, reached through
// the launcher's own HTTP transport so that the same test runs natively and under Wine. The
// fixture's state dir is QX_QXSERVER_DIR, relative to the working directory.
class QxServer {
public:
    QxServer();

    // "http://127.0.0.1:PORT/"; empty (after a test failure) when no fixture runs.
    const std::wstring& Url() const { return m_url; }
    // "https://127.0.0.1:PORT/": the twin with a self-signed certificate, on the same site and
    // sessions.
    const std::wstring& TlsUrl() const { return m_tlsUrl; }
    // The absolute path of a file of the fixture's state dir (cert.pem, other-ca.pem, key.pem).
    std::wstring StateFile(const char* name) const;
    int Port() const { return m_port; }

    // Posts body to path (below "/") and returns the status, 0 when nothing came back.
    int Post(const std::wstring& path, const std::string& body) const;
    // The session that the fixture opened for user (demo or legacy).
    std::wstring Session(const std::string& user) const;
    // Makes the next count requests of service misbehave: "status=N", "stall=MS" or "cut=K".
    void Fault(const std::string& service, const std::string& what, int count = 1) const;

    // The folder of a release's files; files put there are served at once.
    std::filesystem::path ReleaseFolder(const std::string& application,
                                        const std::string& version) const;
    // Writes a release file (creating its folders) and returns its checksum.
    std::uint32_t AddReleaseFile(const std::string& relative, const std::string& bytes) const;

    // Number of access log lines so far, and those from line `from` on that hold every text of
    // parts; log names the plain server's log or the twin's.
    static constexpr const char* kLog = "access.log";
    static constexpr const char* kTlsLog = "access-tls.log";
    std::size_t LogLineCount(const char* log = kLog) const;
    std::size_t CountLogLines(std::size_t from, const std::vector<std::string>& parts,
                              const char* log = kLog) const;
    // The log's text from line `from` on, for a failure message.
    std::string LogFrom(std::size_t from, const char* log = kLog) const;

private:
    std::filesystem::path m_dir;
    std::wstring m_url;
    std::wstring m_tlsUrl;
    int m_port = 0;
};

// Polls condition every 10 ms until it holds or 30 s have passed; true when it held.
template <typename Condition>
bool WaitUntil(Condition condition);

#include <chrono>
#include <thread>

template <typename Condition>
bool WaitUntil(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
