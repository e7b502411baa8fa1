#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

#include "app/QXLReleaseNote.h"
#include "platform/System.h"
#include "support/Installation.h"
#include "support/RecordingNoteView.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace {

std::wstring Table(const std::wstring& header, const std::wstring& rows) {
    return L"COLONNES=" + header + L"\r\nTBLDATBEGIN_99\r\n" + rows + L"TBLDATEND_99";
}

// An installation whose only download server refuses connections, with or without a release
// note in its file list.
class NoteInstallation {
public:
    explicit NoteInstallation(bool withNote)
        : m_install({L"http://127.0.0.1:1/qx/"}, "", kQXFrenchBase) {
        m_install.Installer().SetTempDirectory();
        m_install.Server().ReadApplicationInfo(
            Table(L"ApplicationLabel|S;ReleaseNoteName|S;", L"\tnotes.pdf\r\n"));
        const std::wstring rows = withNote ? L"notes.pdf\t2000\t1\tdelta\tdoc\r\n" : L"";
        m_install.Server().ReadFileList(
            Table(L"FileName|S;FileSize|N;FileChecksum|N;FileMode|S;FilePath|S;", rows));
    }

    CQXLReleaseNote Note() { return m_install.ReleaseNote(); }
    CQXLLog& Log() { return m_install.Log().Log(); }

private:
    Installation m_install;
};

} // namespace

TEST(WarnUpdateDlg, WithoutReleaseNoteTheButtonDoesNothing) {
    NoteInstallation install(false);
    CQXLWarnUpdateDlg dialog(true, L"Update now?", kQXEnglishBase, install.Log());
    EXPECT_EQ(dialog.ReleaseNoteState(), CQXLWarnUpdateDlg::kNoteNone);
    dialog.SetReleaseNoteSource(nullptr);
    EXPECT_EQ(dialog.ReleaseNoteState(), CQXLWarnUpdateDlg::kNoteNone);
    CQXLReleaseNote note = install.Note();
    dialog.SetReleaseNoteSource(&note);
    EXPECT_EQ(dialog.ReleaseNoteState(), CQXLWarnUpdateDlg::kNoteNone);

    RecordingNoteView view;
    dialog.OnReleaseNote(view);
    dialog.WaitForDownload();
    EXPECT_TRUE(view.ranges.empty());
    EXPECT_TRUE(view.finished.empty());
    EXPECT_EQ(dialog.ControlText(CQXLWarnUpdateDlg::kText), L"Update now?");
    EXPECT_EQ(dialog.ControlText(CQXLWarnUpdateDlg::kButtonReleaseNote), L"Download release note");
    EXPECT_EQ(dialog.ControlText(CQXLWarnUpdateDlg::kButtonYes), L"Yes");
    EXPECT_EQ(dialog.Caption(), L"Launcher");
}

// The download runs on a thread of its own and reports its end there; a failure leaves the
// state at 4 for good, and the button's text says so.
TEST(WarnUpdateDlg, FailedDownloadEndsInStateFour) {
    NoteInstallation install(true);
    RecordingNoteView view;
    {
        CQXLReleaseNote note = install.Note();
        CQXLWarnUpdateDlg dialog(false, L"Notice", kQXFrenchBase, install.Log());
        dialog.SetReleaseNoteSource(&note);
        ASSERT_EQ(dialog.ReleaseNoteState(), CQXLWarnUpdateDlg::kNoteAvailable);
        dialog.OnReleaseNote(view);
        dialog.OnReleaseNote(view); // pressed again while it runs: no second download
        dialog.WaitForDownload();
        EXPECT_EQ(dialog.ReleaseNoteState(), CQXLWarnUpdateDlg::kNoteFailed);
        EXPECT_EQ(dialog.ControlText(CQXLWarnUpdateDlg::kButtonReleaseNote),
                  L"T\u00e9l\u00e9chargement \u00e9chou\u00e9");
        dialog.OnReleaseNote(view);
    }
    EXPECT_EQ(view.ranges, (std::vector<std::pair<int, int>>{{0, 1000}}));
    EXPECT_EQ(view.finished, std::vector<int>{CQXLWarnUpdateDlg::kNoteFailed});
    EXPECT_NE(view.finishedOn, std::this_thread::get_id());
}

// The dialog may go while its download still runs: it waits for the download first.
TEST(WarnUpdateDlg, DestroyingTheDialogWaitsForItsDownload) {
    NoteInstallation install(true);
    RecordingNoteView view;
    {
        CQXLReleaseNote note = install.Note();
        CQXLWarnUpdateDlg dialog(true, L"Question", kQXEnglishBase, install.Log());
        dialog.SetReleaseNoteSource(&note);
        dialog.OnReleaseNote(view);
    }
    EXPECT_EQ(view.finished, std::vector<int>{CQXLWarnUpdateDlg::kNoteFailed});
}
