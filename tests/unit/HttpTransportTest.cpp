#include "platform/HttpTransport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "support/ProxyEnvironment.h"

using namespace qxplat;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kReadBlock = 64 * 1024;

// The ports and proxy credentials the fixture's peers listen with.
struct Peers {
    unsigned short http = 0;
    unsigned short https = 0;
    unsigned short drip = 0;
    unsigned short proxy = 0;
    std::wstring proxyUser;
    std::wstring proxyPassword;
};

Peers LoadPeers() {
    const char* file = std::getenv("QX_HTTP_PEERS");
    std::map<std::string, std::string> values;
    if (file != nullptr) {
        std::ifstream in(file);
        for (std::string key, value; in >> key >> value;)
            values[key] = value;
    }
    Peers peers;
    if (values.size() < 6) {
        ADD_FAILURE() << "no peers: run through ctest, whose fixture starts them";
        return peers;
    }
    const auto port = [&](const char* key) {
        return static_cast<unsigned short>(std::stoi(values[key]));
    };
    peers.http = port("http");
    peers.https = port("https");
    peers.drip = port("drip");
    peers.proxy = port("proxy");
    peers.proxyUser.assign(values["proxyUser"].begin(), values["proxyUser"].end());
    peers.proxyPassword.assign(values["proxyPassword"].begin(), values["proxyPassword"].end());
    return peers;
}

// Answers the dialog step from a script: the proxy credentials to give, one pair per
// question (none left: decline), and whether certificate problems are accepted.
class ScriptedPrompt : public HttpPrompt {
public:
    std::vector<std::pair<std::wstring, std::wstring>> credentials;
    bool acceptCertificates = false;
    int credentialQuestions = 0;
    int certificateQuestions = 0;
    HttpCertificate shown;

    bool AskProxyCredentials(std::wstring& userName, std::wstring& password) override {
        const auto index = static_cast<std::size_t>(credentialQuestions++);
        if (index >= credentials.size())
            return false;
        userName = credentials[index].first;
        password = credentials[index].second;
        return true;
    }
    bool AcceptCertificate(unsigned long, const HttpCertificate& certificate) override {
        ++certificateQuestions;
        shown = certificate;
        return acceptCertificates;
    }
};

class CountingObserver : public HttpReceiveObserver {
public:
    int requestsSent = 0;
    unsigned long long bytes = 0;
    void RequestSent() override {
        ++requestsSent;
        bytes = 0;
    }
    void BytesReceived(unsigned long count) override { bytes += count; }
};

struct Options {
    bool secure = false;
    bool lenient = false;
    unsigned long timeoutMs = 30000;
    unsigned long rateWindowMs = kHttpMinimumRateWindowMs;
    std::shared_ptr<const HttpStop> stop;
    std::wstring proxyUser;
    std::wstring proxyPassword;
    HttpPrompt* prompt = nullptr;
    HttpReceiveObserver* observer = nullptr;
    // Checks each block of the body instead of keeping it (offset, bytes, count).
    void (*check)(std::size_t, const char*, std::size_t) = nullptr;
};

struct Exchange {
    bool sent = false;
    unsigned long lastError = 0;
    std::wstring status;
    bool bodyRead = false;
    std::string body;
    std::size_t bodySize = 0;
    HttpError error;
    std::wstring proxyUser;
    std::wstring proxyPassword;
};

void ReadBody(HttpRequest& request, const Options& options, Exchange& result) {
    std::vector<char> block(kReadBlock);
    for (;;) {
        std::size_t received = 0;
        if (!request.Read(block.data(), block.size(), received, result.error))
            return;
        if (received == 0) {
            result.bodyRead = true;
            return;
        }
        if (options.check != nullptr)
            options.check(result.bodySize, block.data(), received);
        else
            result.body.append(block.data(), received);
        result.bodySize += received;
    }
}

// One request as the launcher's client makes it: open, send with the dialog loop, status
// and body.
Exchange Post(unsigned short port, const std::wstring& object, std::string_view body,
              const Options& options = {}) {
    Exchange result;
    auto session = SystemHttpTransport().Open(L"QXLauncher", result.error);
    if (!session || (options.observer != nullptr &&
                     !session->WatchReceivedBytes(*options.observer, result.error)))
        return result;
    auto connection = session->Connect(L"127.0.0.1", port, options.secure, result.error);
    if (!connection)
        return result;
    auto request =
        connection->OpenRequest(L"POST", object, options.secure, options.lenient, result.error);
    if (!request)
        return result;
    request->SetTimeouts(options.timeoutMs, options.timeoutMs);
    request->SetMinimumRate(kHttpMinimumBytesPerSecond, options.rateWindowMs);
    request->SetStop(options.stop);
    if (!options.proxyUser.empty())
        request->SetProxyUserName(options.proxyUser);
    if (!options.proxyPassword.empty())
        request->SetProxyPassword(options.proxyPassword);
    for (;;) {
        if (options.lenient)
            request->IgnoreUnknownCa();
        result.sent = request->Send(body, result.lastError);
        const HttpDialogAnswer answer = request->DialogStep(options.prompt, result.lastError);
        if (answer == HttpDialogAnswer::Retry) {
            EXPECT_TRUE(request->ReadProxyUserName(result.proxyUser, result.error));
            EXPECT_TRUE(request->ReadProxyPassword(result.proxyPassword, result.error));
            continue;
        }
        if (answer == HttpDialogAnswer::Done)
            break;
    }
    if (result.sent && request->StatusText(result.status, result.error))
        ReadBody(*request, options, result);
    return result;
}

char PatternByte(std::size_t offset) {
    return static_cast<char>((offset * 7 + offset / 251) & 0xFF);
}

void CheckPattern(std::size_t offset, const char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != PatternByte(offset + i)) {
            ADD_FAILURE() << "wrong byte at " << offset + i;
            return;
        }
    }
}

std::vector<std::string> CookiePieces(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("; ", start)) != std::string::npos; start = end + 2)
        pieces.push_back(text.substr(start, end - start));
    pieces.push_back(text.substr(start));
    return pieces;
}

class HttpTransportTest : public ::testing::Test {
protected:
    Peers peers = LoadPeers();
};

TEST_F(HttpTransportTest, FormBodyArrivesExactlyWithTheFormContentTypeOnlyWhenNotEmpty) {
    const std::string form = "sessionid=&user=J%C3%BCrgen&password=a b+c&lang=en";
    const Exchange filled = Post(peers.http, L"/echo", form);
    ASSERT_TRUE(filled.sent) << filled.lastError;
    EXPECT_EQ(filled.status, L"200");
    EXPECT_TRUE(filled.bodyRead);
    EXPECT_EQ(filled.body, "application/x-www-form-urlencoded\n" + form);

    const Exchange empty = Post(peers.http, L"/echo", "");
    ASSERT_TRUE(empty.sent) << empty.lastError;
    EXPECT_EQ(empty.body, "-\n");
}

TEST_F(HttpTransportTest, ErrorStatusCodesAreReadWithTheirBody) {
    for (const wchar_t* code : {L"404", L"500"}) {
        const Exchange reply = Post(peers.http, std::wstring(L"/status/") + code, "a=1");
        ASSERT_TRUE(reply.sent) << reply.lastError;
        EXPECT_EQ(reply.status, code);
        EXPECT_TRUE(reply.bodyRead);
        EXPECT_EQ(reply.body, "status page");
    }
}

TEST_F(HttpTransportTest, SessionCookieIsFoundForTheServerUrlOnlyAfterTheReplySetIt) {
    const std::wstring url = L"http://127.0.0.1:" + std::to_wstring(peers.http) + L"/";
    std::string cookies;
    HttpError error;
    EXPECT_FALSE(SystemHttpTransport().CookiesForUrl(url, cookies, error));
    EXPECT_EQ(error.step, HttpStep::FindCookie);

    ASSERT_EQ(Post(peers.http, L"/cookie", "user=a").status, L"200");
    ASSERT_TRUE(SystemHttpTransport().CookiesForUrl(url + L"svc/", cookies, error)) << error.code;
    const std::vector<std::string> pieces = CookiePieces(cookies);
    EXPECT_EQ(pieces.size(), 3u) << cookies;
    EXPECT_NE(std::find(pieces.begin(), pieces.end(), "SessionId=S3ss10n42"), pieces.end())
        << cookies;
    EXPECT_FALSE(SystemHttpTransport().CookiesForUrl(L"http://127.0.0.9:1/", cookies, error));
}

// libcurl scopes such a cookie to the folder of its request ("/deep"), Wine's WinINet to the
// request path taken as a folder ("/deep/cookie/"): a server whose session cookie must reach
// the server's own URL has to give it a path.
TEST_F(HttpTransportTest, CookieWithoutPathStaysBelowThePathOfItsRequest) {
    const std::wstring server = L"http://127.0.0.1:" + std::to_wstring(peers.http);
    ASSERT_EQ(Post(peers.http, L"/deep/cookie", "a=1").status, L"200");
    std::string cookies;
    HttpError error;
    ASSERT_TRUE(SystemHttpTransport().CookiesForUrl(server + L"/deep/cookie/", cookies, error))
        << error.code;
    EXPECT_EQ(cookies, "Deep=1");
    EXPECT_FALSE(SystemHttpTransport().CookiesForUrl(server + L"/", cookies, error)) << cookies;
    EXPECT_FALSE(SystemHttpTransport().CookiesForUrl(server + L"/deeper/", cookies, error))
        << cookies;
}

TEST_F(HttpTransportTest, SessionsOnSeveralThreadsShareTheCookieStore) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                const std::string form = "thread=" + std::to_string(t) + "&i=" + std::to_string(i);
                const Exchange reply = Post(peers.http, i % 2 ? L"/cookie" : L"/echo", form);
                if (reply.status != L"200" || !reply.bodyRead)
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    std::string cookies;
    HttpError error;
    EXPECT_TRUE(SystemHttpTransport().CookiesForUrl(
        L"http://127.0.0.1:" + std::to_wstring(peers.http) + L"/", cookies, error));
    EXPECT_NE(cookies.find("SessionId=S3ss10n42"), std::string::npos) << cookies;
}

TEST_F(HttpTransportTest, LargeBodyStreamsInBlocksWithReceivedByteNotifications) {
    constexpr std::size_t kSize = 8 * 1024 * 1024 + 123;
    CountingObserver observer;
    Options options;
    options.observer = &observer;
    options.check = CheckPattern;
    const Exchange reply =
        Post(peers.http, L"/large?bytes=" + std::to_wstring(kSize), "a=1", options);
    ASSERT_TRUE(reply.sent) << reply.lastError;
    EXPECT_TRUE(reply.bodyRead) << reply.error.code;
    EXPECT_EQ(reply.bodySize, kSize);
    EXPECT_GE(observer.requestsSent, 1);
    // The count covers the body and the reply's headers.
    EXPECT_GE(observer.bytes, kSize);
    EXPECT_LE(observer.bytes, kSize + 4096);
}

TEST_F(HttpTransportTest, SilentServerFailsTheStepWhereItStalls) {
    Options options;
    options.timeoutMs = 500;
    // Wine's WinINet reports a silent server before the headers as an aborted connection.
    const Exchange noReply = Post(peers.http, L"/stall-headers", "a=1", options);
    EXPECT_FALSE(noReply.sent);
    EXPECT_NE(noReply.lastError, 0u);

    // WinINet fills the whole buffer before it returns: the bytes before the stall may be lost.
    const Exchange halfBody = Post(peers.http, L"/stall-body", "a=1", options);
    ASSERT_TRUE(halfBody.sent) << halfBody.lastError;
    EXPECT_FALSE(halfBody.bodyRead);
    EXPECT_LE(halfBody.bodySize, 1000u);
    EXPECT_EQ(halfBody.error.step, HttpStep::ReadBody);
    EXPECT_TRUE(IsTimeoutError(halfBody.error.code)) << halfBody.error.code;
}

// A server that drips its headers, or its body, more slowly than the minimum rate, but too
// often for the receive time-out: a stop from another thread ends the request at once, and
// without one the first window that falls short ends it as a time-out.
TEST_F(HttpTransportTest, DrippingReplyEndsAtAStopOrAsATimeoutAfterOneWindow) {
    for (const bool inHeaders : {true, false}) {
        SCOPED_TRACE(inHeaders ? "dripping headers" : "dripping body");
        const std::wstring object = inHeaders ? L"/drip-headers/1/" : L"/drip-body/";
        // Where the request stops: the send waits for the headers, the read for the body.
        const auto expectFailure = [&](const Exchange& reply, bool (*is)(unsigned long)) {
            if (inHeaders) {
                EXPECT_FALSE(reply.sent);
                EXPECT_TRUE(is(reply.lastError)) << reply.lastError;
                return;
            }
            ASSERT_TRUE(reply.sent) << reply.lastError;
            EXPECT_FALSE(reply.bodyRead);
            EXPECT_EQ(reply.error.step, HttpStep::ReadBody);
            EXPECT_TRUE(is(reply.error.code)) << reply.error.code;
        };

        Options stopped;
        auto stop = std::make_shared<HttpStop>();
        stopped.stop = stop;
        std::thread stopper([stop] {
            std::this_thread::sleep_for(1500ms);
            stop->Stop();
        });
        auto begin = std::chrono::steady_clock::now();
        const Exchange aborted = Post(peers.drip, object, "a=1", stopped);
        const auto untilStopped = std::chrono::steady_clock::now() - begin;
        stopper.join();
        expectFailure(aborted, IsStoppedError);
        EXPECT_LT(untilStopped, 2500ms);

        Options slow;
        slow.rateWindowMs = 2000;
        begin = std::chrono::steady_clock::now();
        const Exchange tooSlow = Post(peers.drip, object, "a=1", slow);
        const auto untilTimedOut = std::chrono::steady_clock::now() - begin;
        expectFailure(tooSlow, IsTimeoutError);
        EXPECT_GE(untilTimedOut, 2000ms);
        EXPECT_LT(untilTimedOut, 4000ms);
    }
}

TEST_F(HttpTransportTest, ConnectionCutInTheBodyFailsTheRead) {
    const Exchange reply = Post(peers.http, L"/cut?after=300000", "a=1");
    ASSERT_TRUE(reply.sent) << reply.lastError;
    EXPECT_FALSE(reply.bodyRead);
    EXPECT_EQ(reply.error.step, HttpStep::ReadBody);
    EXPECT_LE(reply.bodySize, 300000u);
}

TEST_F(HttpTransportTest, RefusedConnectionFailsTheSend) {
    Options options;
    options.timeoutMs = 2000;
    ScriptedPrompt prompt;
    options.prompt = &prompt;
    const Exchange reply = Post(1, L"/echo", "a=1", options);
    EXPECT_FALSE(reply.sent);
    EXPECT_NE(reply.lastError, 0u);
}

// A certificate once accepted stays accepted for the process (WinINet keeps it with the
// server), so the refusal comes first and the lenient request has a test of its own.
TEST_F(HttpTransportTest, SelfSignedCertificateFailsUnlessTheUserAcceptsIt) {
    ScriptedPrompt declining;
    Options strict;
    strict.secure = true;
    strict.prompt = &declining;
    const Exchange refused = Post(peers.https, L"/echo", "a=1", strict);
    EXPECT_FALSE(refused.sent);
    EXPECT_TRUE(IsCertificateError(refused.lastError)) << refused.lastError;
    EXPECT_EQ(declining.certificateQuestions, 1);

    ScriptedPrompt accepting;
    accepting.acceptCertificates = true;
    Options asked = strict;
    asked.prompt = &accepting;
    const Exchange accepted = Post(peers.https, L"/echo", "a=1", asked);
    ASSERT_TRUE(accepted.sent) << accepted.lastError;
    EXPECT_EQ(accepted.status, L"200");
    EXPECT_GE(accepting.certificateQuestions, 1);

    // Accepted once, it passes every later request of the run without a question.
    ScriptedPrompt later;
    strict.prompt = &later;
    const Exchange again = Post(peers.https, L"/echo", "b=2", strict);
    ASSERT_TRUE(again.sent) << again.lastError;
    EXPECT_EQ(again.body, "application/x-www-form-urlencoded\nb=2");
    EXPECT_EQ(later.certificateQuestions, 0);
#ifndef _WIN32
    // The question shows the peer's own certificate (WinINet's dialogs show it on Windows).
    const HttpCertificate& shown = declining.shown;
    EXPECT_EQ(shown.subject, L"CN=127.0.0.1");
    EXPECT_EQ(shown.issuer, L"CN=127.0.0.1");
    EXPECT_EQ(shown.notBefore.size(), 23u);
    EXPECT_LT(shown.notBefore, shown.notAfter);
    char line[256] = {}; // "sha256 Fingerprint=AB:...:CD\n"
    FILE* pipe = popen("openssl x509 -noout -fingerprint -sha256 -in http_peers/cert.pem", "r");
    ASSERT_TRUE(pipe != nullptr && fgets(line, sizeof line, pipe) != nullptr);
    pclose(pipe);
    const std::string expected(std::strchr(line, '=') + 1, std::strchr(line, '\n'));
    EXPECT_EQ(shown.sha256, std::wstring(expected.begin(), expected.end()));
#endif
}

TEST_F(HttpTransportTest, LenientRequestTakesASelfSignedCertificateWithoutAsking) {
    ScriptedPrompt silent;
    Options lenient;
    lenient.secure = true;
    lenient.prompt = &silent;
    lenient.lenient = true;
    const Exchange quiet = Post(peers.https, L"/echo", "a=1", lenient);
    ASSERT_TRUE(quiet.sent) << quiet.lastError;
    EXPECT_EQ(quiet.body, "application/x-www-form-urlencoded\na=1");
    EXPECT_EQ(silent.certificateQuestions, 0);
}

class HttpProxyTest : public HttpTransportTest {
protected:
    ProxyEnvironment proxy{L"http://127.0.0.1:" + std::to_wstring(peers.proxy)};
};

TEST_F(HttpProxyTest, CredentialsAskedOnceAreSentOnEveryLaterRequest) {
    ScriptedPrompt prompt;
    prompt.credentials = {{peers.proxyUser, peers.proxyPassword}};
    Options options;
    options.prompt = &prompt;
    const Exchange first = Post(peers.http, L"/echo", "a=1", options);
    ASSERT_TRUE(first.sent) << first.lastError;
    EXPECT_EQ(first.status, L"200");
    EXPECT_EQ(first.body, "application/x-www-form-urlencoded\na=1");
    EXPECT_EQ(prompt.credentialQuestions, 1);
    EXPECT_EQ(first.proxyUser, peers.proxyUser);
    EXPECT_EQ(first.proxyPassword, peers.proxyPassword);

    options.proxyUser = first.proxyUser;
    options.proxyPassword = first.proxyPassword;
    for (int i = 0; i < 2; ++i) {
        const Exchange later = Post(peers.http, L"/echo", "b=2", options);
        EXPECT_EQ(later.status, L"200");
        EXPECT_EQ(later.body, "application/x-www-form-urlencoded\nb=2");
    }
    EXPECT_EQ(prompt.credentialQuestions, 1);
}

Options SecureThroughProxy(HttpPrompt& prompt) {
    Options options;
    options.secure = true;
    options.lenient = true;
    options.prompt = &prompt;
    return options;
}

TEST_F(HttpProxyTest, SecureRequestTunnelsThroughTheProxyWithStoredCredentials) {
    ScriptedPrompt prompt;
    Options options = SecureThroughProxy(prompt);
    options.proxyUser = peers.proxyUser;
    options.proxyPassword = peers.proxyPassword;
    const Exchange reply = Post(peers.https, L"/echo", "a=1", options);
    ASSERT_TRUE(reply.sent) << reply.lastError;
    EXPECT_EQ(reply.status, L"200");
    EXPECT_EQ(reply.body, "application/x-www-form-urlencoded\na=1");
    EXPECT_EQ(prompt.credentialQuestions, 0);
}

TEST_F(HttpProxyTest, RefusedTunnelAsksForCredentialsAndIsOpenedAgain) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine's WinINet sends the request outside the tunnel after a refused CONNECT";
#endif
    ScriptedPrompt prompt;
    prompt.credentials = {{peers.proxyUser, peers.proxyPassword}};
    const Exchange reply = Post(peers.https, L"/echo", "a=1", SecureThroughProxy(prompt));
    ASSERT_TRUE(reply.sent) << reply.lastError;
    EXPECT_EQ(reply.status, L"200");
    EXPECT_EQ(reply.body, "application/x-www-form-urlencoded\na=1");
    EXPECT_EQ(prompt.credentialQuestions, 1);
}

TEST_F(HttpProxyTest, WrongCredentialsEndInTheProxysRefusal) {
    ScriptedPrompt prompt;
    prompt.credentials = {{peers.proxyUser, L"wrong"}};
    Options options;
    options.prompt = &prompt;
    const Exchange reply = Post(peers.http, L"/echo", "a=1", options);
    ASSERT_TRUE(reply.sent) << reply.lastError;
    EXPECT_EQ(reply.status, L"407");
    EXPECT_EQ(prompt.credentialQuestions, 2);

    const Exchange unasked = Post(peers.http, L"/echo", "a=1");
    EXPECT_EQ(unasked.status, L"407");
}

} // namespace
