#include "scenario/LaunchScenario.h"

#include <gtest/gtest.h>
#include <sstream>
#include <thread>

#include "platform/LanguageTexts.h"
#include "platform/Text.h"
#include "support/Environment.h"
#include "support/QxServer.h"

#ifndef QX_STANDIN
#error "QX_STANDIN names the stand-in program"
#endif

void RecordingClock::Sleep(std::chrono::milliseconds duration) {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_pauses.push_back(duration.count());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::vector<long long> RecordingClock::Pauses() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_pauses;
}

void ScriptedWindows::Queue(std::initializer_list<bool> answers) {
    m_answers.insert(m_answers.end(), answers);
}

bool ScriptedWindows::WindowOfClassExists(const std::wstring& className) {
    EXPECT_EQ(className, L"QXFluxWindowClassName");
    ++m_lookups;
    if (m_answers.empty())
        return m_default;
    const bool exists = m_answers.front();
    m_answers.pop_front();
    return exists;
}

LaunchScenario::LaunchScenario(const std::string& qxurl) {
    WriteBytes(m_dir.Path() / "qxurl.net", qxurl);
    WriteBytes(m_dir.Path() / "QXLauncher.ini",
               "[LOG]\r\nactivateLog=1\r\nwarning=1\r\nerror=1\r\ninfo=1\r\nproduction=1\r\n"
               "debug=1\r\n");
    std::filesystem::copy_file(QX_STANDIN, m_dir.Path() / "qxflux.exe");
    SetTestEnvironment("QX_STANDIN_RECORD", (m_dir.Path() / "starts.txt").string());
}

LaunchScenario::~LaunchScenario() {
    // The keep-alive threads end with the context, before the folder goes.
    m_process.reset();
}

std::string LaunchScenario::Config(const std::wstring& url, const std::string& application,
                                   const std::string& launcherLines,
                                   const std::string& configLines) {
    std::string text = "[Config]\r\n" + configLines;
    if (!url.empty())
        text += "URL1=" + Narrow(url) + "\r\n";
    text += "[QXLauncher]\r\n";
    if (!application.empty())
        text += "ApplicationName=" + application + "\r\n";
    return text + launcherLines;
}

int LaunchScenario::Run(const std::wstring& commandLine) {
    m_process = std::make_unique<CQXLProcess>(m_ui.GetProgressWindow(), kQXEnglishBase, commandLine,
                                              m_dir.Path().wstring(),
                                              (m_dir.Path() / "QXLauncher.exe").wstring());
    SQXLServices services;
    services.userInterface = &m_ui;
    services.windows = &m_windows;
    services.clock = &m_clock;
    m_process->SetServices(services);
    m_process->RunSequence();
    if (const auto& started = m_process->GetProgramStarter().LastStarted()) {
        EXPECT_TRUE(started->WaitForExit(std::chrono::seconds(30)).has_value());
    }
    return m_process->GetExitCode();
}

void LaunchScenario::TypeAndConfirm(int templateId, const QXLEditTexts& edits) {
    m_ui.QueueCredentialEntry(templateId, {kQXIdOk, edits});
}

void LaunchScenario::Cancel(int templateId) {
    m_ui.QueueCredentialEntry(templateId, {kQXIdCancel, {}});
}

std::vector<int> LaunchScenario::Positions() const {
    std::vector<int> positions;
    for (const SQXLProgressEvent& event : m_ui.ProgressEvents())
        if (event.kind == SQXLProgressEvent::Kind::Position)
            positions.push_back(event.value);
    return positions;
}

std::vector<std::string> LaunchScenario::StatusTexts() const {
    std::vector<std::string> texts;
    for (const SQXLProgressEvent& event : m_ui.ProgressEvents())
        if (event.kind == SQXLProgressEvent::Kind::Status)
            texts.push_back(Narrow(event.text));
    return texts;
}

std::vector<std::string> LaunchScenario::WindowEvents() const {
    std::vector<std::string> events;
    for (const SQXLProgressEvent& event : m_ui.ProgressEvents()) {
        switch (event.kind) {
        case SQXLProgressEvent::Kind::Range:
            events.push_back("range " + std::to_string(event.minimum) + "-" +
                             std::to_string(event.value));
            break;
        case SQXLProgressEvent::Kind::Show:
            events.push_back("show");
            break;
        case SQXLProgressEvent::Kind::Hide:
            events.push_back("hide");
            break;
        case SQXLProgressEvent::Kind::Close:
            events.push_back("close");
            break;
        default:
            break;
        }
    }
    return events;
}

std::vector<int> LaunchScenario::DialogTemplates() const {
    std::vector<int> templates;
    for (const SQXLDialogRecord& dialog : m_ui.Dialogs())
        templates.push_back(dialog.templateId);
    return templates;
}

std::string LaunchScenario::Log() const {
    return m_process ? ReadBytes(m_process->GetLog().GetLogFilePath()) : std::string();
}

int LaunchScenario::LogCount(const std::string& text) const {
    const std::string log = Log();
    int count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++count;
    return count;
}

std::vector<std::vector<std::string>> LaunchScenario::Starts() const {
    std::vector<std::vector<std::string>> starts;
    std::istringstream in(ReadBytes(m_dir.Path() / "starts.txt"));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> arguments;
        for (std::size_t tab = line.find('\t'); tab != std::string::npos;) {
            const std::size_t next = line.find('\t', tab + 1);
            arguments.push_back(line.substr(tab + 1, next == std::string::npos ? std::string::npos
                                                                               : next - tab - 1));
            tab = next;
        }
        starts.push_back(arguments);
    }
    return starts;
}

namespace {

void WriteVersion(const QxServer& server, const std::string& application,
                  const std::string& version, const std::string& settings) {
    const std::filesystem::path folder = server.ReleaseFolder(application, version);
    std::filesystem::create_directories(folder);
    WriteBytes(folder.parent_path() / (version + ".ini"),
               "[Version]\nPrimaryName=qxflux.exe\n" + settings);
}

} // namespace

void PrepareApplications(const QxServer& server) {
    const std::filesystem::path stay = server.ReleaseFolder("SeqStay", "1.0").parent_path();
    std::filesystem::create_directories(stay);
    WriteBytes(stay / "application.ini",
               "[Application]\nLabel=Seq Stay\nVersion=1.0\nVersions=1.0,2.0\n");
    WriteVersion(server, "SeqStay", "1.0",
                 "PrimaryParameters=-CS $SESSIONID$ $USERNAME$\nUpdate=FALSE\n");
    WriteVersion(server, "SeqStay", "2.0",
                 "PrimaryParameters=-CS $SESSIONID$ $USERNAME$ -v2\nUpdate=FALSE\n");
    const std::filesystem::path later = server.ReleaseFolder("SeqLater", "1.0").parent_path();
    std::filesystem::create_directories(later);
    WriteBytes(later / "application.ini", "[Application]\nLabel=Seq Later\nVersion=1.0\n");
    WriteVersion(server, "SeqLater", "1.0",
                 "PrimaryParameters=-CS $SESSIONID$ $USERNAME$\nUpdate=TRUE\n"
                 "UpdateOnExit=TRUE\n");
}

namespace {

std::size_t CountRequests(const QxServer& server, std::size_t from, const std::string& service,
                          const std::string& user) {
    const std::string mark = "\"POST /_sequence_mark\"";
    const std::size_t marks = server.CountLogLines(from, {mark});
    server.Post(L"_sequence_mark", "");
    EXPECT_TRUE(WaitUntil([&] { return server.CountLogLines(from, {mark}) > marks; }));
    if (service.empty())
        return server.CountLogLines(from, {"\"POST /"}) - marks - 1;
    std::vector<std::string> parts{"\"POST /" + service + "\""};
    if (!user.empty())
        parts.push_back("user=" + user);
    return server.CountLogLines(from, parts);
}

} // namespace

testing::AssertionResult Served(const QxServer& server, std::size_t from,
                                const std::string& service, std::size_t expected,
                                const std::string& user) {
    std::size_t count = 0;
    WaitUntil([&] { return (count = CountRequests(server, from, service, user)) >= expected; });
    if (count == expected)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << (service.empty() ? "requests" : service) << " served "
                                       << count << " times, not " << expected;
}

std::string EnglishText(unsigned id) { return Narrow(QXLoadText(kQXEnglishBase, id)); }

std::string Narrow(const std::wstring& text) { return qxplat::ToNarrow(text); }
