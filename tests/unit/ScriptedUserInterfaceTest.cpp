#include <gtest/gtest.h>
#include <thread>

#include "base/QXEvent.h"
#include "support/TempDir.h"
#include "support/TestLog.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLScriptedUserInterface.h"
#include "ui/QXLSelectVersionDlg.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace {

using Kind = SQXLProgressEvent::Kind;

SQXLCredentialEntry Ok(QXLEditTexts edits) { return {kQXIdOk, std::move(edits)}; }

} // namespace

// A refusal is a box owned by the dialog, which stays open for the next entry; the fields keep
// what the refusal left in them.
TEST(ScriptedUserInterface, CredentialDialogPlaysEntriesUntilOneEndsIt) {
    CQXLScriptedUserInterface ui;
    CQXLAuthenDlg login(kQXEnglishBase);
    ui.QueueCredentialEntry(131, Ok({{CQXLAuthenDlg::kEditLogin, L"demo"}}));
    ui.QueueCredentialEntry(131, Ok({{CQXLAuthenDlg::kEditPassword, L"pw"}}));
    ui.QueueCredentialEntry(131, {kQXIdCancel, {{CQXLAuthenDlg::kEditLogin, L"other"}}});

    EXPECT_EQ(ui.ShowCredentialDialog(login), kQXIdOk);
    EXPECT_EQ(login.GetLogin(), L"demo");
    EXPECT_EQ(login.GetPassword(), L"pw");
    EXPECT_EQ(ui.ShowCredentialDialog(login), kQXIdCancel);
    EXPECT_EQ(login.GetLogin(), L"demo");                   // Cancel stores nothing
    EXPECT_EQ(ui.ShowCredentialDialog(login), kQXIdCancel); // empty queue

    const auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"Please enter your password.");
    EXPECT_EQ(boxes[0].caption, L"Launcher");
    EXPECT_EQ(boxes[0].flags, kQXMbOk | kQXMbIconExclamation);
    EXPECT_EQ(boxes[0].ownerDialog, 131);
    const auto dialogs = ui.Dialogs();
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[0].entries, (std::vector<int>{0, 1}));
    EXPECT_EQ(dialogs[0].result, kQXIdOk);
    EXPECT_EQ(dialogs[1].entries, std::vector<int>{2});
    EXPECT_TRUE(dialogs[2].entries.empty());
    EXPECT_EQ(dialogs[2].templateId, 131);
}

// Queues belong to their template; refusals that use up the queue end in Cancel; the refusal
// texts come from the dialog's language block.
TEST(ScriptedUserInterface, RefusalsInTheDialogsLanguageThenCancel) {
    CQXLScriptedUserInterface ui;
    CQXLAceNewPinDlg pin(kQXFrenchBase);
    CQXLAuthenDlg login(kQXFrenchBase);
    ui.QueueCredentialEntry(131, Ok({{105, L"a"}, {112, L"b"}}));
    ui.QueueCredentialEntry(136, Ok({{107, L"12"}, {115, L"12"}}));
    ui.QueueCredentialEntry(136, Ok({{107, L"1234"}})); // the verification was emptied
    EXPECT_EQ(ui.ShowCredentialDialog(pin), kQXIdCancel);
    EXPECT_EQ(pin.GetNewPin(), L"");
    EXPECT_EQ(ui.ShowCredentialDialog(login), kQXIdOk);

    const auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"Le pin doit faire 4 caract\u00e8res de long.");
    EXPECT_EQ(boxes[1].text, L"Veillez entrer le m\u00eame pin.");
    EXPECT_EQ(boxes[1].ownerDialog, 136);
}

TEST(ScriptedUserInterface, VersionAndWarningDialogsFollowTheirQueues) {
    CQXLScriptedUserInterface ui;
    const std::vector<std::wstring> versions = {L"1.0", L"2.0", L"3.0"};
    CQXLSelectVersionDlg version(kQXEnglishBase);
    version.SetVersionList(&versions);
    ui.QueueVersionEntry({true, 2});
    ui.QueueVersionEntry({true, -1});
    ui.QueueVersionEntry({false, -1});
    EXPECT_EQ(ui.ShowSelectVersionDialog(version), 1);
    EXPECT_EQ(version.GetSelection(), L"3.0");
    EXPECT_EQ(ui.ShowSelectVersionDialog(version), 1);
    EXPECT_EQ(version.GetSelection(), L"1.0");
    EXPECT_EQ(ui.ShowSelectVersionDialog(version), 2);
    EXPECT_EQ(version.GetSelection(), L"");
    EXPECT_EQ(ui.ShowSelectVersionDialog(version), 2); // empty queue: Default

    TestLog log;
    CQXLWarnUpdateDlg question(true, L"Update?", kQXEnglishBase, log.Log());
    CQXLWarnUpdateDlg notice(false, L"Updating.", kQXEnglishBase, log.Log());
    EXPECT_EQ(ui.ShowWarnUpdateDialog(question), kQXIdYes);
    EXPECT_EQ(ui.ShowWarnUpdateDialog(notice), kQXIdOk);
    ui.QueueWarnEntry({kQXIdNo, 1});
    EXPECT_EQ(ui.ShowWarnUpdateDialog(question), kQXIdNo);

    const auto dialogs = ui.Dialogs();
    ASSERT_EQ(dialogs.size(), 7u);
    EXPECT_EQ(dialogs[0].selection, L"3.0");
    EXPECT_TRUE(dialogs[3].entries.empty());
    EXPECT_EQ(dialogs[4].templateId, 146);
    EXPECT_TRUE(dialogs[4].question);
    EXPECT_EQ(dialogs[5].message, L"Updating.");
    EXPECT_FALSE(dialogs[5].question);
    EXPECT_EQ(dialogs[6].entries, std::vector<int>{0});
    EXPECT_EQ(dialogs[6].releaseNoteState, CQXLWarnUpdateDlg::kNoteNone);
}

TEST(ScriptedUserInterface, ProgressEventsAndBoxesKeepTheirOrder) {
    CQXLScriptedUserInterface ui;
    IQXLProgressWindow* window = ui.GetProgressWindow();
    ASSERT_NE(window, nullptr);
    window->Show();
    window->SetRange(0, 1000);
    window->SetStatusText(L"Checking");
    window->SetPosition(500);
    window->Hide();
    window->Close();
    const auto events = ui.ProgressEvents();
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].kind, Kind::Show);
    EXPECT_EQ(events[1].kind, Kind::Range);
    EXPECT_EQ(events[1].minimum, 0);
    EXPECT_EQ(events[1].value, 1000);
    EXPECT_EQ(events[2].text, L"Checking");
    EXPECT_EQ(events[3].value, 500);
    EXPECT_EQ(events[4].kind, Kind::Hide);
    EXPECT_EQ(events[5].kind, Kind::Close);

    ui.QueueAnswer(kQXIdNo);
    EXPECT_EQ(ui.ShowMessageBox(L"a", L"c", kQXMbYesNo, QXLBoxOwner::ProgressWindow), kQXIdNo);
    EXPECT_EQ(ui.ShowMessageBox(L"b", L"c", kQXMbYesNo, QXLBoxOwner::None), kQXIdYes);
    EXPECT_EQ(ui.ShowMessageBox(L"c", L"c", kQXMbOkCancel, QXLBoxOwner::None), kQXIdOk);
    const auto boxes = ui.MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].owner, QXLBoxOwner::ProgressWindow);
    EXPECT_EQ(boxes[1].owner, QXLBoxOwner::None);
    EXPECT_EQ(boxes[1].ownerDialog, 0);
}

TEST(ScriptedUserInterface, MessageLoopEndsWhenTheWorkerIsDone) {
    CQXLScriptedUserInterface ui;
    CQXEvent done;
    std::thread worker([&] {
        ui.GetProgressWindow()->Close();
        done.Set();
    });
    ui.RunMessageLoop(done);
    worker.join();
    EXPECT_TRUE(done.IsSet());
}

TEST(ScriptedUserInterface, ResponseFileQueuesEveryKindOfAnswer) {
    TempDir dir;
    WriteBytes(dir.Path() / "answers.txt", "# an unattended run\r\n"
                                           "\r\n"
                                           "box 7\r\n"
                                           "dialog 131 ok 105=demo 112=\"p w\\\"x\\\\\"\r\n"
                                           "  dialog 131 cancel\n"
                                           "version ok 1\n"
                                           "version default\n"
                                           "warn 7 note\n"
                                           "proxy user \"pass word\"\n"
                                           "certificates accept");
    CQXLScriptedUserInterface ui;
    std::wstring problem;
    ASSERT_TRUE(ui.LoadResponseFile(dir.File(L"answers.txt"), &problem)) << problem.size();

    EXPECT_EQ(ui.ShowMessageBox(L"t", L"c", kQXMbYesNo, QXLBoxOwner::None), kQXIdNo);
    CQXLAuthenDlg login(kQXEnglishBase);
    EXPECT_EQ(ui.ShowCredentialDialog(login), kQXIdOk);
    EXPECT_EQ(login.GetLogin(), L"demo");
    EXPECT_EQ(login.GetPassword(), L"p w\"x\\");
    EXPECT_EQ(ui.ShowCredentialDialog(login), kQXIdCancel);
    const std::vector<std::wstring> versions = {L"1.0", L"2.0"};
    CQXLSelectVersionDlg version(kQXEnglishBase);
    version.SetVersionList(&versions);
    EXPECT_EQ(ui.ShowSelectVersionDialog(version), 1);
    EXPECT_EQ(version.GetSelection(), L"2.0");
    EXPECT_EQ(ui.ShowSelectVersionDialog(version), 2);
    TestLog log;
    CQXLWarnUpdateDlg warn(true, L"?", kQXEnglishBase, log.Log());
    EXPECT_EQ(ui.ShowWarnUpdateDialog(warn), kQXIdNo);
    std::wstring user, password;
    ASSERT_TRUE(ui.AskProxyCredentials(user, password));
    EXPECT_EQ(password, L"pass word");
    EXPECT_TRUE(ui.AcceptCertificate(0, qxplat::HttpCertificate()));
}

// A file with one line not understood queues nothing at all and names the line.
TEST(ScriptedUserInterface, BadResponseFilesAreRefusedWhole) {
    TempDir dir;
    const char* bad[] = {"box 6\nbox yes\n",        "box 6\ndialog 131 ok 105\n",
                         "box 6\ndialog x ok\n",    "box 6\ndialog 144 ok\n",
                         "box 6\nversion ok -1\n",  "box 6\nwarn 6 later\n",
                         "box 6\nproxy onlyuser\n", "box 6\nbox 7 \"open\n",
                         "box 6\nshout 1\n",        "box 6\ncertificates maybe\n"};
    for (const char* text : bad) {
        WriteBytes(dir.Path() / "bad.txt", text);
        CQXLScriptedUserInterface ui;
        std::wstring problem;
        EXPECT_FALSE(ui.LoadResponseFile(dir.File(L"bad.txt"), &problem)) << text;
        EXPECT_EQ(problem.rfind(L"line 2 ", 0), 0u) << text;
        EXPECT_EQ(ui.ShowMessageBox(L"t", L"c", kQXMbOkCancel, QXLBoxOwner::None), kQXIdOk);
    }
    CQXLScriptedUserInterface ui;
    EXPECT_FALSE(ui.LoadResponseFile(dir.File(L"missing.txt")));
}
