#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <memory>
#include <string>
#include <vector>

#include "support/ServerProcess.h"
#include "support/TempDir.h"

// A copy of the sample site with its own database, demo users, and a real qxserver on
// 127.0.0.1 (a free port, base path /qx/, test faults on) spoken to over HTTP. The database is
// a SQLite file, or, when QX_TEST_POSTGRES names the folder of a running scripts/postgres
// server, a new PostgreSQL database of the test's own.
class ServerFixture : public ::testing::Test {
protected:
    void SetUp() override;

    std::filesystem::path Site() const { return m_dir.Path() / "site"; }
    // The --db value: a file path or a PostgreSQL URI.
    const std::string& Database() const { return m_database; }
    std::filesystem::path ErrorLog() const { return m_dir.Path() / "server.log"; }

    // Runs "qxserver <args...>" (a command other than serve) against the database.
    ProcessResult Admin(std::vector<std::string> args, const std::string& input = std::string());
    // (Re)starts the server with the standard arguments plus extra.
    void Start(const std::vector<std::string>& extra = {});
    // The standard arguments of "serve": the site, the database, a free port, /qx/, faults.
    std::vector<std::string> ServeArgs() const;
    ServerProcess& Server() { return *m_server; }

    // POSTs body to /qx/<service> of the server (the fixture's by default); fails the test
    // when no answer came.
    httplib::Result Post(const std::string& service, const std::string& body);
    httplib::Result PostTo(const ServerProcess& server, const std::string& service,
                           const std::string& body);
    // P3SSO with the header in which a front names the user it authenticated.
    httplib::Result SignOnAs(const std::string& vouched, const std::string& body);
    // Logs in and returns the session id from the cookie; fails the test on a refusal.
    std::string Login(const std::string& user, const std::string& password);
    // Moves the server's clock forward.
    void Advance(long long seconds);
    void Fault(const std::string& instruction);

    TempDir m_dir;
    std::string m_database;
    std::unique_ptr<ServerProcess> m_server;
};

// The value of the SessionId cookie set by a reply, or empty.
std::string SessionCookie(const httplib::Result& result);
// The Set-Cookie header's attribute (e.g. "Path"), or empty.
std::string CookieAttribute(const httplib::Result& result, const std::string& name);
