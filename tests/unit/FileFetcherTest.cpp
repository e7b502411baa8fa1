#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "platform/System.h"
#include "protocol/QXLDownloader.h"
#include "support/FileBytes.h"
#include "support/InProcessTransport.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "support/UrlConfiguration.h"
#include "update/QXLFile.h"
#include "update/QXLFileFetcher.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kSep(1, qxplat::kPathSeparator);
const std::wstring kFirst = L"http://127.0.0.1:8081/";
const std::wstring kSecond = L"http://127.0.0.1:8082/";
constexpr unsigned short kFirstPort = 8081;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A reply of status 200 whose body is bytes, in pieces of 16 KiB as from the network, and
// then fails as failure says.
InProcessReply Serve(const std::string& bytes, InProcessFailure failure = InProcessFailure::None) {
    InProcessReply reply{200, {}, {}, failure};
    for (std::size_t at = 0; at < bytes.size(); at += 16384)
        reply.chunks.push_back(bytes.substr(at, 16384));
    return reply;
}

// Fetching files over a transport whose every request m_answer answers.
class FileFetcherTest : public ::testing::Test {
protected:
    // Makes a downloader and fetcher with these download servers and a session S1.
    void Configure(const std::vector<std::wstring>& urls,
                   QXLanguageBase language = kQXEnglishBase) {
        m_config = Servers(urls);
        ASSERT_TRUE(m_config->Read());
        m_downloader = std::make_unique<CQXLDownloader>(m_log.Log(), language, m_transport);
        m_downloader->SetConfiguration(&m_config->Config());
        m_downloader->SetSessionId(L"S1");
        m_downloader->SetApplicationName(L"Demo");
        m_downloader->SetVersionName(L"2.0");
        m_fetcher = std::make_unique<CQXLFileFetcher>(*m_downloader, m_transport);
        ASSERT_TRUE(m_fetcher->CreateDownloadDirectory(m_install.Path().wstring() + kSep,
                                                       L"_QXLTmp" + kSep));
    }
    // Points the downloader at url alone.
    void UseOnly(const std::wstring& url) {
        m_other = Servers({url});
        m_downloader->SetConfiguration(&m_other->Config());
    }
    static std::unique_ptr<UrlConfiguration> Servers(const std::vector<std::wstring>& urls) {
        std::string lines = "[FileDownload]\r\n";
        for (std::size_t i = 0; i < urls.size(); ++i)
            lines += "URL" + std::to_string(i + 1) + "=" + Narrow(urls[i]) + "\r\n";
        return std::make_unique<UrlConfiguration>(lines);
    }

    fs::path TempPath(const std::string& relative) const {
        return m_install.Path() / "_QXLTmp" / fs::u8path(relative);
    }
    std::unique_ptr<CQXLFile> ListFile(const std::string& folder, const std::string& name,
                                       std::size_t size, std::uint32_t checksum) {
        auto file = std::make_unique<CQXLFile>(m_log.Log());
        file->SetFile(std::wstring(name.begin(), name.end()), checksum,
                      static_cast<std::int32_t>(size), ModeDelta, 0, 0,
                      std::wstring(folder.begin(), folder.end()));
        return file;
    }
    std::unique_ptr<CQXLFile> ListFile(const std::string& folder, const std::string& name,
                                       const std::string& bytes) {
        return ListFile(folder, name, bytes.size(), ChecksumOf(bytes));
    }

    std::function<InProcessReply(const InProcessRequest&)> m_answer;
    InProcessTransport m_transport{[this](const InProcessRequest& r) { return m_answer(r); }};
    TestLog m_log;
    TempDir m_install;
    std::unique_ptr<UrlConfiguration> m_config;
    std::unique_ptr<UrlConfiguration> m_other;
    std::unique_ptr<CQXLDownloader> m_downloader;
    std::unique_ptr<CQXLFileFetcher> m_fetcher;
};

} // namespace

TEST_F(FileFetcherTest, CopyWhoseSizeOrChecksumDiffersIsAFailedAttemptOnEveryServer) {
    Configure({kFirst, kSecond});
    const std::string bytes = Pattern(5000);
    m_answer = [&](const InProcessRequest&) { return Serve(bytes); };
    const auto badChecksum = ListFile("dl/mismatch/", "m.bin", bytes.size(), ChecksumOf(bytes) ^ 1);
    const auto badSize = ListFile("dl/mismatch/", "m.bin", bytes.size() + 1, ChecksumOf(bytes));
    for (CQXLFile* file : {badChecksum.get(), badSize.get()}) {
        const std::size_t before = m_transport.Sent().size();
        EXPECT_FALSE(m_fetcher->GetAppFile(*file, nullptr));
        EXPECT_EQ(m_transport.Sent().size() - before, 2u);
        EXPECT_FALSE(fs::exists(TempPath("dl/mismatch/m.bin")));
    }
    EXPECT_TRUE(m_log.Contains("Downloaded file m.bin differs from the list : 5000 bytes"));
}

TEST_F(FileFetcherTest, ErrorStatusIsRemovedAndTheNextServerDelivers) {
    Configure({kFirst, kSecond});
    const std::string bytes = Pattern(9000);
    m_answer = [&](const InProcessRequest& request) {
        const bool known = request.body.find("filename=dl/status/s.bin&") != std::string::npos;
        return request.port == kFirstPort || !known ? InProcessAnswer(404, "no such file")
                                                    : Serve(bytes);
    };
    const auto file = ListFile("dl/status/", "s.bin", bytes);
    WriteBytes(TempPath("dl/status/s.bin"), "stale bytes");
    ASSERT_TRUE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_EQ(bytes, ReadBytes(TempPath("dl/status/s.bin")));
    EXPECT_TRUE(m_log.Contains("Status code error : 404"));
    EXPECT_TRUE(m_log.Contains("Failed to download from " + Narrow(kFirst)));

    // An unknown file: every server answers 404, and nothing is left on disk.
    const auto missing = ListFile("dl/status/", "missing.bin", 10, 1);
    EXPECT_FALSE(m_fetcher->GetAppFile(*missing, nullptr));
    EXPECT_FALSE(fs::exists(TempPath("dl/status/missing.bin")));
}

TEST_F(FileFetcherTest, RefusedServerLogsItsStepsAndTheExactBodyThenTheNextOneStaysFirst) {
    // The connection is only made by the send, so the send step reports the refusal.
    Configure({L"http://127.0.0.1:1/", kSecond}, kQXFrenchBase);
    const std::string bytes = Pattern(1000);
    m_answer = [&](const InProcessRequest& request) {
        if (request.port == 1)
            return InProcessFailing(InProcessFailure::RefusedConnect);
        return request.object == L"/GetAppFile" ? Serve(bytes) : InProcessAnswer(404, "none");
    };
    const auto file = ListFile("dl/body/", "b.bin", bytes);
    ASSERT_TRUE(m_fetcher->GetAppFile(*file, nullptr));
    const std::string body =
        "sessionid=S1&application=Demo&version=2.0&filename=dl/body/b.bin&lang=fr";
    const std::string log = m_log.Text();
    EXPECT_NE(std::string::npos, log.find(" ... Failed HttpSendRequest POST[" + body +
                                          "] \"http://127.0.0.1:1/GetAppFile\""))
        << log;
    EXPECT_NE(std::string::npos, log.find("on file .\\QXLDownloader, line 1425"));
    EXPECT_NE(std::string::npos, log.find("Unable to download file b.bin : "));
    EXPECT_NE(std::string::npos, log.find("Failed to download from http://127.0.0.1:1/"));
    EXPECT_EQ(bytes, ReadBytes(TempPath("dl/body/b.bin")));
    EXPECT_EQ(kSecond, m_config->Config().GetDownloadServerList().GetCurrentServer()->GetUrl());

    // The archive names no file; the server does not offer one.
    const auto archive = ListFile("", "AllFiles.zip", 100, 0);
    EXPECT_FALSE(m_fetcher->GetAppZippedFiles(*archive, nullptr));
    EXPECT_NE(std::string::npos,
              m_log.Text().find("POST[sessionid=S1&application=Demo&version=2.0&lang=fr] "
                                "\"http://127.0.0.1:1/GetAppZippedFiles\""));
    EXPECT_FALSE(fs::exists(TempPath("AllFiles.zip")));
}

TEST_F(FileFetcherTest, ErrorPageMatchingTheListIsStillAFailedAttempt) {
    // Only the status tells this page from the file: it has the listed size and checksum.
    const std::string page = "status page";
    m_answer = [&](const InProcessRequest& request) {
        return InProcessAnswer(request.port == kFirstPort ? 500 : 200, page);
    };
    Configure({kFirst, kSecond});
    const auto file = ListFile("dl/page/", "p.txt", page);
    ASSERT_TRUE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_EQ(page, ReadBytes(TempPath("dl/page/p.txt")));
    EXPECT_TRUE(m_log.Contains("Status code error : 500"));
    EXPECT_TRUE(m_log.Contains("Failed to download from " + Narrow(kFirst)));

    fs::remove(TempPath("dl/page/p.txt"));
    UseOnly(kFirst);
    EXPECT_FALSE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_FALSE(fs::exists(TempPath("dl/page/p.txt")));
}

TEST_F(FileFetcherTest, OverlongReplyStopsAtTheListedSizeAndTheNextServerDelivers) {
    // The listed file is the first part of what the server sends, checksum and all.
    const std::size_t listed = 100000;
    const std::string bytes = Pattern(listed);
    m_answer = [&](const InProcessRequest& request) {
        return Serve(request.port == kFirstPort ? Pattern(3 * listed) : bytes);
    };
    Configure({kFirst, kSecond});
    const auto file = ListFile("dl/long/", "l.bin", bytes);
    ASSERT_TRUE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_EQ(bytes, ReadBytes(TempPath("dl/long/l.bin")));
    EXPECT_TRUE(
        m_log.Contains("Downloaded file l.bin is longer than the list says (100000 bytes)"));
    EXPECT_TRUE(m_log.Contains("Failed to download from " + Narrow(kFirst)));

    fs::remove(TempPath("dl/long/l.bin"));
    UseOnly(kFirst);
    EXPECT_FALSE(m_fetcher->GetAppFile(*file, nullptr));
    EXPECT_FALSE(fs::exists(TempPath("dl/long/l.bin")));
}

TEST_F(FileFetcherTest, CutConnectionFailsOver) {
    Configure({kFirst, kSecond});
    const std::string bytes = Pattern(200 * 1024);
    m_answer = [&](const InProcessRequest& request) {
        return request.port == kFirstPort ? Serve(bytes.substr(0, 70000), InProcessFailure::CutBody)
                                          : Serve(bytes);
    };
    const auto cut = ListFile("dl/faults/", "cut.bin", bytes);
    ASSERT_TRUE(m_fetcher->GetAppFile(*cut, nullptr));
    EXPECT_EQ(bytes, ReadBytes(TempPath("dl/faults/cut.bin")));
    EXPECT_EQ(1u, Occurrences(m_log.Text(), "Failed to download from"));
}
