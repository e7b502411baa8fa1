#include "support/QxServer.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

#include "platform/HttpTransport.h"
#include "support/TempDir.h"
#include "update/QXChecksum.h"

QxServer::QxServer() {
    const char* dir = std::getenv("QX_QXSERVER_DIR");
    if (dir == nullptr) {
        ADD_FAILURE() << "no qxserver: run through ctest, whose fixture starts it";
        return;
    }
    m_dir = dir;
    std::string url;
    std::getline(std::ifstream(m_dir / "url.txt"), url);
    const auto colon = url.rfind(':');
    if (url.rfind("http://127.0.0.1:", 0) != 0 || colon == std::string::npos) {
        ADD_FAILURE() << "the fixture's URL line is '" << url << "'";
        return;
    }
    m_url.assign(url.begin(), url.end());
    m_port = std::stoi(url.substr(colon + 1));
    std::getline(std::ifstream(m_dir / "url-tls.txt"), url);
    m_tlsUrl.assign(url.begin(), url.end());
}

std::wstring QxServer::StateFile(const char* name) const {
    return std::filesystem::absolute(m_dir / name).wstring();
}

int QxServer::Post(const std::wstring& path, const std::string& body) const {
    qxplat::HttpError error;
    auto session = qxplat::SystemHttpTransport().Open(L"QXLauncherTest", error);
    if (!session)
        return 0;
    auto connection =
        session->Connect(L"127.0.0.1", static_cast<unsigned short>(m_port), false, error);
    if (!connection)
        return 0;
    auto request = connection->OpenRequest(L"POST", L"/" + path, false, false, error);
    unsigned long lastError = 0;
    std::wstring status;
    if (!request || !request->Send(body, lastError) || !request->StatusText(status, error))
        return 0;
    char block[4096];
    for (std::size_t received = 1; received > 0;) {
        if (!request->Read(block, sizeof block, received, error))
            break;
    }
    return std::stoi(status);
}

std::wstring QxServer::Session(const std::string& user) const {
    std::string id;
    std::getline(std::ifstream(m_dir / ("session-" + user)), id);
    EXPECT_FALSE(id.empty()) << "the fixture opened no session for " << user;
    return std::wstring(id.begin(), id.end());
}

void QxServer::Fault(const std::string& service, const std::string& what, int count) const {
    ASSERT_EQ(200, Post(L"_faults",
                        "service=" + service + "&count=" + std::to_string(count) + "&" + what));
}

std::filesystem::path QxServer::ReleaseFolder(const std::string& application,
                                              const std::string& version) const {
    return m_dir / "site" / "releases" / application / version;
}

std::uint32_t QxServer::AddReleaseFile(const std::string& relative,
                                       const std::string& bytes) const {
    const auto path = ReleaseFolder("Demo", "2.0") / std::filesystem::u8path(relative);
    std::filesystem::create_directories(path.parent_path());
    WriteBytes(path, bytes);
    CQXChecksum checksum;
    checksum.Update(bytes.data(), bytes.size());
    return checksum.Value();
}

std::size_t QxServer::LogLineCount(const char* log) const { return CountLogLines(0, {}, log); }

std::string QxServer::LogFrom(std::size_t from, const char* logName) const {
    const std::string log = ReadBytes(m_dir / logName);
    std::size_t start = 0;
    for (std::size_t index = 0; index < from && start != std::string::npos; ++index) {
        start = log.find('\n', start);
        start = start == std::string::npos ? start : start + 1;
    }
    return start == std::string::npos ? std::string() : log.substr(start);
}

std::size_t QxServer::CountLogLines(std::size_t from, const std::vector<std::string>& parts,
                                    const char* logName) const {
    // Only whole lines count: the server may be writing the last one.
    const std::string log = ReadBytes(m_dir / logName);
    std::size_t count = 0;
    std::size_t index = 0;
    for (std::size_t start = 0, end; (end = log.find('\n', start)) != std::string::npos;
         start = end + 1, ++index) {
        if (index < from)
            continue;
        const std::string line = log.substr(start, end - start);
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        count += all ? 1 : 0;
    }
    return count;
}
