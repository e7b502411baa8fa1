// Shows one of the launcher's real windows through the Win32 user interface, the way the
// launcher does (windows on the main thread, dialogs and boxes on a worker thread), and prints
// what the user's answers left in the models, one "name=value" line each, in UTF-8.
//   qx_win32_ui_host SCENARIO LANGUAGE-BASE [ARG]
// Scenarios: login, change-password [HEADING-ID], new-pin, next-passcode, version,
// notice [note], question [note], box, splash.
// The splash scenario sets the range 0..1000, the position 500 and status text 25, shows the
// window and prints "shown"; then each line "hide" or "show" on standard input hides or shows
// it ("hidden", "shown"), and "end" or the end of input lets the worker finish. The program
// prints "exit=0" when its message loop has ended.
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

#include "app/QXLReleaseNote.h"
#include "base/QXEvent.h"
#include "base/QXFormat.h"
#include "log/QXLLog.h"
#include "platform/LanguageTexts.h"
#include "shell/win32/Win32UserInterface.h"
#include "support/Installation.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAceNextPasscodeDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"
#include "ui/QXLSelectVersionDlg.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace {

void Print(const std::string& name, const std::wstring& value) {
    std::string utf8;
    if (!value.empty()) {
        const int size = WideCharToMultiByte(
            CP_UTF8, 0, value.data(), static_cast<int>(value.size()), nullptr, 0, nullptr, nullptr);
        utf8.resize(static_cast<std::size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), utf8.data(),
                            size, nullptr, nullptr);
    }
    std::printf("%s=%s\n", name.c_str(), utf8.c_str());
    std::fflush(stdout);
}

void Print(const std::string& name, int value) { Print(name, std::to_wstring(value)); }

void Say(const char* word) {
    std::printf("%s\n", word);
    std::fflush(stdout);
}

struct SHost {
    CQXLWin32UserInterface& ui;
    QXLanguageBase base;
    std::wstring argument;
};

void Login(SHost& host) {
    CQXLAuthenDlg dialog(host.base);
    Print("result", host.ui.ShowCredentialDialog(dialog));
    Print("login", dialog.GetLogin());
    Print("password", dialog.GetPassword());
}

void ChangePassword(SHost& host) {
    CQXLChangePwdDlg dialog(host.base);
    if (!host.argument.empty()) {
        dialog.SetHeadingTextId(static_cast<unsigned>(std::stoul(host.argument)));
    }
    Print("result", host.ui.ShowCredentialDialog(dialog));
    Print("password", dialog.GetNewPassword());
}

void NewPin(SHost& host) {
    CQXLAceNewPinDlg dialog(host.base);
    Print("result", host.ui.ShowCredentialDialog(dialog));
    Print("pin", dialog.GetNewPin());
}

void NextPasscode(SHost& host) {
    CQXLAceNextPasscodeDlg dialog(host.base);
    Print("result", host.ui.ShowCredentialDialog(dialog));
    Print("passcode", dialog.GetNewPasscode());
}

void Version(SHost& host) {
    const std::vector<std::wstring> versions{L"11.1.1", L"11.1.2", L"11.1.3"};
    CQXLSelectVersionDlg dialog(host.base);
    dialog.SetVersionList(&versions);
    Print("result", host.ui.ShowSelectVersionDialog(dialog));
    Print("selection", dialog.GetSelection());
}

std::wstring Table(const std::wstring& header, const std::wstring& rows) {
    return L"COLONNES=" + header + L"\r\nTBLDATBEGIN_99\r\n" + rows + L"TBLDATEND_99";
}

// An installation whose file list holds a release note, on a download server that refuses
// connections.
void PrepareReleaseNote(Installation& install) {
    install.Installer().SetTempDirectory();
    install.Server().ReadApplicationInfo(
        Table(L"ApplicationLabel|S;ReleaseNoteName|S;", L"\tnotes.pdf\r\n"));
    install.Server().ReadFileList(
        Table(L"FileName|S;FileSize|N;FileChecksum|N;FileMode|S;FilePath|S;",
              L"notes.pdf\t2000\t1\tdelta\tdoc\r\n"));
}

// With the argument "note" the dialog offers a release note whose download fails.
void Warning(SHost& host, bool question) {
    const std::wstring message = question ? QXFormat(QXLoadText(host.base, 46), L"QXFlux", 5)
                                          : QXFormat(QXLoadText(host.base, 45), L"QXFlux");
    CQXLLog log;
    Installation install({L"http://127.0.0.1:1/qx/"}, "", host.base);
    CQXLReleaseNote note = install.ReleaseNote();
    CQXLWarnUpdateDlg dialog(question, message, host.base, log);
    if (host.argument == L"note") {
        PrepareReleaseNote(install);
        dialog.SetReleaseNoteSource(&note);
    }
    Print("result", host.ui.ShowWarnUpdateDialog(dialog));
    Print("note", dialog.ReleaseNoteState());
}

void Box(SHost& host) {
    host.ui.GetProgressWindow()->Show();
    const int answer = host.ui.ShowMessageBox(
        QXFormat(QXLoadText(host.base, 53), 3), QXLoadText(host.base, kQXTextCaption),
        kQXMbYesNo | kQXMbIconQuestion, QXLBoxOwner::ProgressWindow);
    Print("answer", answer);
    host.ui.GetProgressWindow()->Close();
}

void Splash(SHost& host) {
    IQXLProgressWindow& window = *host.ui.GetProgressWindow();
    window.SetRange(0, 1000);
    window.SetPosition(500);
    window.SetStatusText(QXLoadText(host.base, 25));
    window.Show();
    Say("shown");
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == "hide") {
            window.Hide();
            Say("hidden");
        } else if (line == "show") {
            window.Show();
            Say("shown");
        } else if (line == "end") {
            break;
        }
    }
}

// The dialogs end the run themselves, as the launcher's finish step does: by the close message.
bool RunScenario(const std::wstring& scenario, SHost& host) {
    if (scenario == L"splash") {
        Splash(host);
        return true;
    }
    if (scenario == L"box") {
        Box(host);
        return true;
    }
    if (scenario == L"login") {
        Login(host);
    } else if (scenario == L"change-password") {
        ChangePassword(host);
    } else if (scenario == L"new-pin") {
        NewPin(host);
    } else if (scenario == L"next-passcode") {
        NextPasscode(host);
    } else if (scenario == L"version") {
        Version(host);
    } else if (scenario == L"notice" || scenario == L"question") {
        Warning(host, scenario == L"question");
    } else {
        return false;
    }
    host.ui.GetProgressWindow()->Close();
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qx_win32_ui_host SCENARIO LANGUAGE-BASE [ARG]\n");
        return 2;
    }
    const std::wstring scenario = argv[1];
    CQXLWin32UserInterface ui(GetModuleHandleW(nullptr));
    if (!ui.CreateWindows()) {
        std::fprintf(stderr, "cannot create the windows\n");
        return 3;
    }
    SHost host{ui, static_cast<QXLanguageBase>(std::stoul(argv[2])), argc > 3 ? argv[3] : L""};
    CQXEvent done;
    bool known = true;
    std::thread worker([&] {
        known = RunScenario(scenario, host);
        if (!known) {
            ui.GetProgressWindow()->Close();
        }
        done.Set();
    });
    ui.RunMessageLoop(done);
    worker.join();
    if (!known) {
        std::fprintf(stderr, "unknown scenario\n");
        return 2;
    }
    Say("exit=0");
    return 0;
}
