// Shows one of the launcher's GTK windows the way the launcher does (the main thread runs the
// loop, a worker thread makes the calls) and prints what the user's answers left in the model,
// so that a script can drive the real windows from outside and check the outcome.
//
// Usage: qx_gtk_ui_host SCENARIO LANGUAGE-BASE [ARGUMENTS...]
//   login | changepwd [HEADING] | newpin | passcode   a credential dialog
//   version NAME...                                   the version choice
//   notice | question                                 the update warning
//   note                                              the question with a release note
//   box                                               a Yes/No question box
//   proxy [USER]                                      the proxy credential question
//   certificate                                       the certificate question
//   splash                                            the splash, driven by commands on stdin:
//       show, hide, range MIN MAX, position P, status TEXT, text ID (a text of the
//       table), read, box, close, exit CODE
// Each line printed ends with a newline and is flushed at once.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/QXLProgramStarter.h"
#include "app/QXLReleaseNote.h"
#include "base/QXEvent.h"
#include "base/QXFormat.h"
#include "log/QXLLog.h"
#include "platform/LanguageTexts.h"
#include "platform/Text.h"
#include "shell/gtk/QXLGtkProgressWindow.h"
#include "shell/gtk/QXLGtkUserInterface.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAceNextPasscodeDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"
#include "ui/QXLSelectVersionDlg.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace {

constexpr unsigned kTextNotice = 9;
constexpr unsigned kTextQuestion = 10;
constexpr unsigned kTextRebootQuestion = 12;

void Print(const std::wstring& line) {
    std::printf("%s\n", qxplat::ToNarrow(line).c_str());
    std::fflush(stdout);
}

struct SHost {
    CQXLGtkUserInterface& ui;
    QXLanguageBase base;
    std::vector<std::string> arguments;
};

int ShowCredential(SHost& host, CQXLCredentialDlg& dialog) {
    const int result = host.ui.ShowCredentialDialog(dialog);
    Print(QXFormat(L"result=%d", result));
    return 0;
}

// The update warning; with a release note listed, whose download fails at once (no server
// is configured), it also prints the note's state at the end.
int ShowWarning(SHost& host, bool question, bool withNote) {
    const std::wstring here = qxplat::FromNarrow(".");
    CQXLLog log(here);
    CQXUrlParser configuration;
    CQXLApplication application(log, configuration);
    CQXLBatchGenerator instructions(log);
    CQXLServerClient server(log, host.base, configuration, application, instructions);
    CQXLProgramStarter starter(log, application, server);
    if (withNote) {
        CQXLFileRow row;
        row.FileName = L"notes.pdf";
        row.FileSize = 1000;
        application.Files().SetInstallationDirectory(here);
        application.Files().ReadFileList({row}, row.FileName);
    }
    const std::wstring message =
        QXFormat(QXLoadText(host.base, question ? kTextQuestion : kTextNotice), L"QXFlux");
    CQXLReleaseNote note(application.Files(), server.GetFetcher(), starter);
    CQXLWarnUpdateDlg dialog(question, message, host.base, log);
    dialog.SetReleaseNoteSource(&note);
    const int result = host.ui.ShowWarnUpdateDialog(dialog);
    Print(withNote ? QXFormat(L"result=%d note=%d", result, dialog.ReleaseNoteState())
                   : QXFormat(L"result=%d", result));
    return 0;
}

int ShowVersions(SHost& host) {
    std::vector<std::wstring> versions;
    for (const std::string& name : host.arguments)
        versions.push_back(qxplat::FromNarrow(name));
    CQXLSelectVersionDlg dialog(host.base);
    dialog.SetVersionList(&versions);
    const int result = host.ui.ShowSelectVersionDialog(dialog);
    Print(QXFormat(L"result=%d selection=%s", result, dialog.GetSelection()));
    return 0;
}

int AskQuestion(SHost& host, QXLBoxOwner owner) {
    const int answer = host.ui.ShowMessageBox(
        QXLoadText(host.base, kTextRebootQuestion), QXLoadText(host.base, kQXTextCaption),
        kQXMbYesNo | kQXMbIconQuestion | kQXMbSystemModal, owner);
    Print(QXFormat(L"answer=%d", answer));
    return 0;
}

// The HTTP questions as a request asks them, off the GTK thread.
int AskProxy(SHost& host) {
    std::wstring user = host.arguments.empty() ? L"" : qxplat::FromNarrow(host.arguments[0]);
    std::wstring password;
    const bool given = host.ui.GetHttpPrompt()->AskProxyCredentials(user, password);
    Print(QXFormat(L"given=%d user=%s password=%s", given ? 1 : 0, user, password));
    return 0;
}

int AskCertificate(SHost& host) {
    qxplat::HttpCertificate certificate;
    certificate.subject = L"CN=updates.example.test,O=Example Soci\u00e9t\u00e9,C=FR";
    certificate.issuer = L"CN=Example Company Root CA,O=Example Soci\u00e9t\u00e9,C=FR";
    certificate.notBefore = L"2026-12-07 08:00:00 UTC";
    certificate.notAfter = L"2027-12-07 08:00:00 UTC";
    certificate.sha256 = L"0B:30:55:7A:9F:C4:E9:0E:33:58:7D:A2:C7:EC:11:36:"
                         L"5B:80:A5:CA:EF:14:39:5E:83:A8:CD:F2:17:3C:61:86";
    const bool accepted = host.ui.GetHttpPrompt()->AcceptCertificate(0, certificate);
    Print(QXFormat(L"accepted=%d", accepted ? 1 : 0));
    return 0;
}

// Plays the splash commands until exit or the end of the input; returns the exit code.
int DriveSplash(SHost& host) {
    IQXLProgressWindow& window = *host.ui.GetProgressWindow();
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "show") {
            window.Show();
        } else if (command == "hide") {
            window.Hide();
        } else if (command == "range") {
            int minimum = 0, maximum = 0;
            words >> minimum >> maximum;
            window.SetRange(minimum, maximum);
        } else if (command == "position") {
            int position = 0;
            words >> position;
            window.SetPosition(position);
        } else if (command == "status") {
            std::getline(words >> std::ws, line);
            window.SetStatusText(qxplat::FromNarrow(line));
        } else if (command == "text") {
            unsigned id = 0;
            words >> id;
            window.SetStatusText(QXLoadText(host.base, id));
        } else if (command == "read") {
            Print(QXFormat(L"fraction=%d/1000 status=%s closed=%d",
                           static_cast<int>(host.ui.Splash().ShownFraction() * 1000 + 0.5),
                           host.ui.Splash().ShownStatusText(), host.ui.IsClosed() ? 1 : 0));
            continue;
        } else if (command == "box") {
            AskQuestion(host, QXLBoxOwner::ProgressWindow);
            continue;
        } else if (command == "close") {
            window.Close();
        } else if (command == "exit") {
            int code = 0;
            words >> code;
            return code;
        }
        Print(qxplat::FromNarrow("done " + command));
    }
    return 0;
}

int RunScenario(SHost& host, const std::string& scenario) {
    if (scenario == "login") {
        CQXLAuthenDlg dialog(host.base);
        ShowCredential(host, dialog);
        Print(QXFormat(L"login=%s password=%s", dialog.GetLogin(), dialog.GetPassword()));
    } else if (scenario == "changepwd") {
        CQXLChangePwdDlg dialog(host.base);
        if (!host.arguments.empty())
            dialog.SetHeadingTextId(static_cast<unsigned>(std::stoul(host.arguments[0])));
        ShowCredential(host, dialog);
        Print(QXFormat(L"password=%s", dialog.GetNewPassword()));
    } else if (scenario == "newpin") {
        CQXLAceNewPinDlg dialog(host.base);
        ShowCredential(host, dialog);
        Print(QXFormat(L"pin=%s", dialog.GetNewPin()));
    } else if (scenario == "passcode") {
        CQXLAceNextPasscodeDlg dialog(host.base);
        ShowCredential(host, dialog);
        Print(QXFormat(L"passcode=%s", dialog.GetNewPasscode()));
    } else if (scenario == "version") {
        return ShowVersions(host);
    } else if (scenario == "notice" || scenario == "question") {
        return ShowWarning(host, scenario == "question", false);
    } else if (scenario == "note") {
        return ShowWarning(host, true, true);
    } else if (scenario == "box") {
        return AskQuestion(host, QXLBoxOwner::None);
    } else if (scenario == "proxy") {
        return AskProxy(host);
    } else if (scenario == "certificate") {
        return AskCertificate(host);
    } else if (scenario == "splash") {
        return DriveSplash(host);
    } else {
        std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SCENARIO LANGUAGE-BASE [ARGUMENTS...]\n", argv[0]);
        return 2;
    }
    const auto base = static_cast<QXLanguageBase>(std::atoi(argv[2]));
    auto ui = CQXLGtkUserInterface::Create(base);
    if (!ui) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    SHost host{*ui, base, std::vector<std::string>(argv + 3, argv + argc)};
    const std::string scenario = argv[1];
    CQXEvent workerDone;
    int exitCode = 0;
    std::thread worker([&] {
        exitCode = RunScenario(host, scenario);
        // As the launcher's finish step does: the run ends by closing the progress window.
        host.ui.GetProgressWindow()->Close();
        workerDone.Set();
    });
    ui->RunMessageLoop(workerDone);
    worker.join();
    return exitCode;
}
