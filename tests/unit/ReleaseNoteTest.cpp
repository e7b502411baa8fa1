#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

#include "app/QXLReleaseNote.h"
#include "support/Installation.h"
#include "support/QxServer.h"
#include "support/RecordingNoteView.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace {

class ReleaseNoteTest : public ::testing::Test {
protected:
    // The demo user's file list, read from the server as the update sequence reads it.
    void ReadDemoFileList(Installation& install) {
        ASSERT_EQ(install.Server().LoginStep(L"demo", L"demo", std::nullopt).result,
                  QXLLogin::LoggedIn);
        ASSERT_TRUE(install.Server().GetApplicationInfo());
        ASSERT_TRUE(install.Server().GetPrimaryApplication());
        ASSERT_TRUE(install.Server().GetFileList());
        ASSERT_NE(install.Application().Files().ReleaseNoteFile(), nullptr);
        ASSERT_EQ(install.Installer().SetTempDirectory(), 1);
    }

    QxServer server;
};

} // namespace

// The note arrives in the temp directory under its own folder while the dialog's bar moves
// forward, and the button then offers to view it. (How far the bar gets depends on what the
// transport counts: with the reply's headers a small note runs past 1000.)
TEST_F(ReleaseNoteTest, DownloadMovesTheDialogsBarAndEndsInStateThree) {
    Installation install({server.Url()});
    ASSERT_NO_FATAL_FAILURE(ReadDemoFileList(install));
    RecordingNoteView view;
    CQXLReleaseNote note = install.ReleaseNote();
    CQXLWarnUpdateDlg dialog(true, L"Update?", kQXEnglishBase, install.Log().Log());
    dialog.SetReleaseNoteSource(&note);
    ASSERT_EQ(dialog.ReleaseNoteState(), CQXLWarnUpdateDlg::kNoteAvailable);
    dialog.OnReleaseNote(view);
    dialog.WaitForDownload();

    EXPECT_EQ(dialog.ReleaseNoteState(), CQXLWarnUpdateDlg::kNoteDownloaded);
    EXPECT_EQ(view.finished, std::vector<int>{CQXLWarnUpdateDlg::kNoteDownloaded});
    EXPECT_EQ(view.ranges, (std::vector<std::pair<int, int>>{{0, 1000}}));
    ASSERT_FALSE(view.positions.empty());
    EXPECT_TRUE(std::is_sorted(view.positions.begin(), view.positions.end()));
    EXPECT_EQ(dialog.ControlText(CQXLWarnUpdateDlg::kButtonReleaseNote), L"View release note");
    const std::filesystem::path copy =
        std::filesystem::path(install.Installer().GetTempDirectory()) / "_ReleaseNoteTmp" /
        "ReleaseNote.txt";
    EXPECT_EQ(ReadBytes(copy), ReadBytes(server.ReleaseFolder("Demo", "2.0") / "ReleaseNote.txt"));
}

// The scripted user interface presses the button for an unattended run and reports the state.
TEST_F(ReleaseNoteTest, ScriptedRunFetchesTheNoteBeforeAnswering) {
    Installation install({server.Url()});
    ASSERT_NO_FATAL_FAILURE(ReadDemoFileList(install));
    CQXLReleaseNote note = install.ReleaseNote();
    CQXLWarnUpdateDlg dialog(false, L"Updating.", kQXEnglishBase, install.Log().Log());
    dialog.SetReleaseNoteSource(&note);
    install.Ui().QueueWarnEntry({kQXIdOk, 1});
    EXPECT_EQ(install.Ui().ShowWarnUpdateDialog(dialog), kQXIdOk);
    const auto dialogs = install.Ui().Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].releaseNoteState, CQXLWarnUpdateDlg::kNoteDownloaded);
}
