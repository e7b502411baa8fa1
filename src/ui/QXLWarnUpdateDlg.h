#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "base/QXLanguage.h"
#include "log/QXLLog.h"
#include "ui/QXLDialogLayout.h"
#include "ui/QXLProgressWindow.h"
#include "ui/QXLReleaseNoteSource.h"

// What the warning dialog's view offers the release note download: its own progress bar and
// the end of the download. Called on the download thread; each call runs on the view's thread
// and returns when done.
class IQXLReleaseNoteView : public IQXLProgressBar {
public:
    // The download ended in state (3 downloaded, 4 failed): the view hides its bar, shows the
    // button with ReleaseNoteTextId() and enables it only in state 3.
    virtual void ReleaseNoteFinished(int state) = 0;
};

// The update warning dialog (template 146), built by the update sequence for one showing: a
// notice with OK, or a Yes/No question, with the version's release note to fetch and open
// while the user decides.
class CQXLWarnUpdateDlg {
public:
    static constexpr int kTemplate = 146;
    static constexpr int kText = 1010;
    static constexpr int kButtonYes = 6;
    static constexpr int kButtonNo = 7;
    static constexpr int kButtonReleaseNote = 3;
    static constexpr int kProgress = 1011;

    // Release note states.
    static constexpr int kNoteNone = 0;
    static constexpr int kNoteAvailable = 1;
    static constexpr int kNoteDownloaded = 3;
    static constexpr int kNoteFailed = 4;

    CQXLWarnUpdateDlg(bool question, const std::wstring& message, QXLanguageBase languageBase,
                      CQXLLog& log);
    // Waits for a release note download still running: it reports to this object.
    virtual ~CQXLWarnUpdateDlg();

    CQXLWarnUpdateDlg(const CQXLWarnUpdateDlg&) = delete;
    CQXLWarnUpdateDlg& operator=(const CQXLWarnUpdateDlg&) = delete;

    // Where the release note comes from; decides whether one is available. Not owned; null
    // offers none.
    void SetReleaseNoteSource(IQXLReleaseNoteSource* source);

    static const SQXLDialogLayout& Layout();
    bool IsQuestion() const { return m_question; }
    const std::wstring& Message() const { return m_message; }
    QXLanguageBase GetLanguageBase() const { return m_languageBase; }
    // The text of a button (caption: text 1), from the dialog's language block; the release
    // note button's follows the state (49, 51 after a download, 50 after a failure).
    std::wstring ControlText(int controlId) const;
    std::wstring Caption() const;

    int ReleaseNoteState() const { return m_state; }

    // The release note button, pressed on the view's thread while it is enabled. Available:
    // sets view's range to 0..1000 and starts the download on a thread of its own, which
    // reports through view (the view has disabled the button and shown its bar before).
    // Downloaded: opens the note with its associated program. Otherwise nothing.
    void OnReleaseNote(IQXLReleaseNoteView& view);

    // Waits until a running download has ended (the view calls it before it goes away).
    void WaitForDownload();

private:
    void Download(IQXLReleaseNoteView* view);

    bool m_question;
    std::wstring m_message;
    QXLanguageBase m_languageBase;
    CQXLLog& m_log;
    IQXLReleaseNoteSource* m_source = nullptr;
    std::atomic<int> m_state{kNoteNone};
    std::thread m_download;
};
