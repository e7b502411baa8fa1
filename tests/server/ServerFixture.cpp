#include "server/ServerFixture.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A new database on the test's PostgreSQL server, or empty when the tests run on SQLite.
std::string NewPostgresDatabase() {
    const char* dir = std::getenv("QX_TEST_POSTGRES");
    if (!dir || !*dir)
        return std::string();
    static std::atomic<int> counter{0};
    const std::string name = "qxtest_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    const ProcessResult created = RunProcess(QX_POSTGRES_SCRIPT, {"createdb", dir, name});
    std::string uri = created.out.substr(0, created.out.find('\n'));
    EXPECT_EQ(created.exitCode, 0) << created.err;
    return uri;
}

} // namespace

void ServerFixture::SetUp() {
    m_database = NewPostgresDatabase();
    if (m_database.empty())
        m_database = (m_dir.Path() / "qxserver.db").string();
    fs::copy(QX_SITE_DIR, Site(), fs::copy_options::recursive);
    fs::remove(Site() / "qxserver.db");
    ASSERT_EQ(Admin({"user", "add", "demo", "--password", "demo"}).exitCode, 0);
    ASSERT_EQ(Admin({"user", "add", "legacy", "--password", "legacy"}).exitCode, 0);
    ASSERT_EQ(Admin({"user", "add", "sso", "--sso"}).exitCode, 0);
    Start();
}

ProcessResult ServerFixture::Admin(std::vector<std::string> args, const std::string& input) {
    args.push_back("--db");
    args.push_back(Database());
    return RunProcess(QX_SERVER_BINARY, args, input);
}

std::vector<std::string> ServerFixture::ServeArgs() const {
    return {"--root",      Site().string(), "--db", Database(),     "--listen",
            "127.0.0.1:0", "--base-path",   "/qx/", "--test-faults"};
}

void ServerFixture::Start(const std::vector<std::string>& extra) {
    m_server.reset();
    std::vector<std::string> args = ServeArgs();
    args.insert(args.end(), extra.begin(), extra.end());
    m_server = std::make_unique<ServerProcess>(QX_SERVER_BINARY, args, ErrorLog());
    ASSERT_NE(m_server->Url().find("://127.0.0.1:"), std::string::npos) << m_server->Url();
}

httplib::Result ServerFixture::Post(const std::string& service, const std::string& body) {
    return PostTo(*m_server, service, body);
}

httplib::Result ServerFixture::PostTo(const ServerProcess& server, const std::string& service,
                                      const std::string& body) {
    httplib::Client client(server.Host(), server.Port());
    // A loaded machine may take longer than the library's five seconds to answer; the tests of
    // the server's own deadlines use connections of their own.
    client.set_read_timeout(std::chrono::seconds(60));
    auto result =
        client.Post(("/qx/" + service).c_str(), body, "application/x-www-form-urlencoded");
    EXPECT_TRUE(result) << service << ": " << httplib::to_string(result.error());
    return result;
}

httplib::Result ServerFixture::SignOnAs(const std::string& vouched, const std::string& body) {
    httplib::Client client(m_server->Host(), m_server->Port());
    auto result = client.Post("/qx/P3SSO", {{"X-Remote-User", vouched}}, body,
                              "application/x-www-form-urlencoded");
    EXPECT_TRUE(result) << httplib::to_string(result.error());
    return result;
}

std::string ServerFixture::Login(const std::string& user, const std::string& password) {
    const auto result = Post("P3Login", "password=" + password + "&user=" + user + "&lang=en");
    EXPECT_TRUE(result && result->status == 200);
    const std::string session = result ? SessionCookie(result) : std::string();
    EXPECT_EQ(session.size(), 32u) << (result ? result->body : "");
    return session;
}

void ServerFixture::Advance(long long seconds) {
    httplib::Client client(m_server->Host(), m_server->Port());
    const auto result = client.Post("/_clock", "advance=" + std::to_string(seconds),
                                    "application/x-www-form-urlencoded");
    ASSERT_TRUE(result && result->status == 200);
}

void ServerFixture::Fault(const std::string& instruction) {
    httplib::Client client(m_server->Host(), m_server->Port());
    const auto result = client.Post("/_faults", instruction, "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200) << result->body;
}

std::string CookieAttribute(const httplib::Result& result, const std::string& name) {
    const std::string cookie = result->get_header_value("Set-Cookie");
    const std::string key = name + "=";
    std::size_t start = 0;
    while (start < cookie.size()) {
        std::size_t end = cookie.find(';', start);
        if (end == std::string::npos)
            end = cookie.size();
        std::string piece = cookie.substr(start, end - start);
        piece.erase(0, piece.find_first_not_of(' '));
        if (piece.rfind(key, 0) == 0)
            return piece.substr(key.size());
        start = end + 1;
    }
    return std::string();
}

std::string SessionCookie(const httplib::Result& result) {
    return CookieAttribute(result, "SessionId");
}
