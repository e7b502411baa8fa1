#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "base/QXEvent.h"
#include "ui/QXLCredentialDlg.h"
#include "ui/QXLProgressWindow.h"
#include "ui/QXLUserInterface.h"

// A progress window that records what the sequence showed on it.
class RecordingProgressWindow : public IQXLProgressWindow {
public:
    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void SetStatusText(const std::wstring& text) override;
    void Show() override;
    void Hide() override;
    void Close() override;

    std::vector<int> Positions() const;
    std::vector<std::wstring> StatusTexts() const;
    // "show", "hide", "close" and "range a-b" in call order.
    std::vector<std::string> Events() const;

private:
    mutable std::mutex m_lock;
    std::vector<int> m_positions;
    std::vector<std::wstring> m_statusTexts;
    std::vector<std::string> m_events;
};

// One showing of a dialog: its template and, for credential dialogs, the login the login
// dialog held when it was shown.
struct SDialogShown {
    int templateId = 0;
    std::wstring heldLogin;
    std::wstring heldPassword;
};

// One message box as the sequence asked for it.
struct SBoxShown {
    std::wstring text;
    std::wstring caption;
    unsigned flags = 0;
    QXLBoxOwner owner = QXLBoxOwner::None;
};

// The user of a scenario: every answer is given in advance. Credential dialogs take the next
// queued answer (OK with typed edits, or Cancel); a refusal of the dialog's checks takes the
// next answer again, as a user typing anew. An empty queue cancels a dialog and gives a box
// its first button.
class ScenarioUi : public IQXLUserInterface {
public:
    void QueueOk(QXLEditTexts edits);
    void QueueCancel();
    void QueueBox(int button);
    // The version dialog: the entry to select and OK, or -1 for Default.
    void QueueVersion(int index);

    std::vector<SDialogShown> Dialogs() const;
    std::vector<SBoxShown> Boxes() const;
    RecordingProgressWindow& Window() { return m_window; }

    IQXLProgressWindow* GetProgressWindow() override { return &m_window; }
    void RunMessageLoop(const CQXEvent& workerDone) override;
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags,
                       QXLBoxOwner owner) override;
    int ShowCredentialDialog(CQXLCredentialDlg& dialog) override;
    int ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) override;
    int ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) override;
    qxplat::HttpPrompt* GetHttpPrompt() override { return nullptr; }

private:
    struct Answer {
        bool ok = false;
        QXLEditTexts edits;
    };

    mutable std::mutex m_lock;
    std::deque<Answer> m_answers;
    std::deque<int> m_buttons;
    std::deque<int> m_versions;
    std::vector<SDialogShown> m_dialogs;
    std::vector<SBoxShown> m_boxes;
    RecordingProgressWindow m_window;
};
