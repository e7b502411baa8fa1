#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ui/QXLCredentialDlg.h"
#include "ui/QXLProgressWindow.h"
#include "ui/QXLUserInterface.h"

// One message box as it was asked for.
struct SQXLMessageBoxRecord {
    std::wstring text;
    std::wstring caption;
    unsigned flags = 0;
    QXLBoxOwner owner = QXLBoxOwner::None;
    // The template of the dialog that showed the box (a refusal); 0 when owner tells.
    int ownerDialog = 0;
};

// One thing that happened to the progress window, in the order the worker asked for it.
struct SQXLProgressEvent {
    enum class Kind { Range, Position, Status, Show, Hide, Close };
    Kind kind;
    int minimum = 0;   // Range
    int value = 0;     // Range: the maximum; Position: the position
    std::wstring text; // Status
};

// What the user does in one showing of a credential dialog: the button, and what is typed
// into which edit (by control id) before it. Edits not named keep what the dialog shows.
struct SQXLCredentialEntry {
    int button = kQXIdCancel;
    QXLEditTexts edits;
};

// What the user does in the version dialog: OK with the entry at index selected (-1: the one
// the dialog selected itself), or Default.
struct SQXLVersionEntry {
    bool ok = false;
    int index = -1;
};

// What the user does in the update warning dialog: presses the release note button
// releaseNotePresses times (each waits for the download it starts), then ends with result.
struct SQXLWarnEntry {
    int result = kQXIdOk;
    int releaseNotePresses = 0;
};

// One showing of a dialog.
struct SQXLDialogRecord {
    int templateId = 0;
    // Which queued entries of this template the showing played, in order (0 is the first
    // entry ever queued for the template); empty when its queue was empty.
    std::vector<int> entries;
    int result = 0;
    // Update warning dialog: its question flag, message and release note state at the end.
    bool question = false;
    std::wstring message;
    int releaseNoteState = 0;
    // Version dialog: the selection it ended with.
    std::wstring selection;
};

// A user interface without a user, which is also its own progress window: it records every
// message box, dialog showing and progress event, and answers from queues given in advance or
// read from a response file. With an empty queue a box gets its first button (OK or Yes), a
// credential dialog is cancelled, the version dialog gets Default, the warning dialog its
// first button (OK for a notice, Yes for a question) and a proxy question is declined. Used by
// the tests and for unattended runs. Any thread may call it.
//
// Response file: UTF-8 on Linux, the ANSI code page on Windows; one command per line, words
// separated by blanks; empty lines and lines starting with "#" are skipped.
//   box BUTTON                         the next message box's answer (1 OK, 2 Cancel, 6 Yes,
//                                      7 No, ...)
//   dialog TEMPLATE ok ID=TEXT ...     the next showing of credential dialog TEMPLATE (131
//   dialog TEMPLATE cancel             login, 134 change password, 135 next passcode, 136 new
//                                      PIN) types TEXT into edit ID, then presses the button;
//                                      after a refusal the dialog stays open and plays the next
//                                      entry of its template
//   version ok [INDEX]                 the version dialog: OK with entry INDEX selected
//   version default                    (without INDEX: the dialog's own selection), or Default
//   warn RESULT [note ...]             the warning dialog ends with RESULT (1, 2, 6 or 7),
//                                      after pressing the release note button once per "note"
//   proxy USER PASSWORD                credentials for the next proxy question
//   certificates accept|decline        the answer to certificate questions
// A TEXT, USER or PASSWORD may be written in double quotes to hold blanks; inside quotes \"
// stands for a quote and \\ for a backslash. An empty edit is ID= or ID="".
class CQXLScriptedUserInterface : public IQXLUserInterface,
                                  public IQXLProgressWindow,
                                  public qxplat::HttpPrompt {
public:
    // The answer to the next message box that finds the queue not empty.
    void QueueAnswer(int button);
    // The credentials to give at the next proxy question.
    void QueueProxyCredentials(const std::wstring& userName, const std::wstring& password);
    // Whether certificate problems are accepted (declined by default).
    void SetAcceptCertificates(bool accept);
    // The next entry that a showing of credential dialog templateId plays.
    void QueueCredentialEntry(int templateId, const SQXLCredentialEntry& entry);
    void QueueVersionEntry(const SQXLVersionEntry& entry);
    void QueueWarnEntry(const SQXLWarnEntry& entry);

    // Queues the commands of a response file (format above). False, with nothing queued and
    // problem (when given) naming the first bad line, when the file cannot be read or a line
    // is not understood.
    bool LoadResponseFile(const std::wstring& path, std::wstring* problem = nullptr);

    std::vector<SQXLMessageBoxRecord> MessageBoxes() const;
    std::vector<SQXLProgressEvent> ProgressEvents() const;
    std::vector<SQXLDialogRecord> Dialogs() const;
    int ProxyQuestions() const;
    int CertificateQuestions() const;
    // The certificates of the certificate questions, in order.
    std::vector<qxplat::HttpCertificate> CertificatesShown() const;

    // IQXLUserInterface
    IQXLProgressWindow* GetProgressWindow() override { return this; }
    void RunMessageLoop(const CQXEvent& workerDone) override;
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags,
                       QXLBoxOwner owner) override;
    int ShowCredentialDialog(CQXLCredentialDlg& dialog) override;
    int ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) override;
    int ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) override;
    qxplat::HttpPrompt* GetHttpPrompt() override { return this; }

    // IQXLProgressWindow
    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void SetStatusText(const std::wstring& text) override;
    void Show() override;
    void Hide() override;
    void Close() override;

    // qxplat::HttpPrompt
    bool AskProxyCredentials(std::wstring& userName, std::wstring& password) override;
    bool AcceptCertificate(unsigned long error,
                           const qxplat::HttpCertificate& certificate) override;

private:
    template <typename Entry>
    struct Queue {
        std::deque<Entry> entries;
        int played = 0; // entries taken so far: the number of the next one
    };

    // Takes the next entry of queue into entry and its number into the record; false when
    // the queue is empty.
    template <typename Entry>
    bool TakeEntry(Queue<Entry>& queue, Entry& entry, SQXLDialogRecord& record);
    void AddEvent(SQXLProgressEvent event);
    void AddDialog(SQXLDialogRecord record);

    mutable std::mutex m_lock;
    std::deque<int> m_answers;
    std::deque<std::pair<std::wstring, std::wstring>> m_credentials;
    bool m_acceptCertificates = false;
    std::map<int, Queue<SQXLCredentialEntry>> m_credentialEntries;
    Queue<SQXLVersionEntry> m_versionEntries;
    Queue<SQXLWarnEntry> m_warnEntries;
    std::vector<SQXLMessageBoxRecord> m_boxes;
    std::vector<SQXLProgressEvent> m_events;
    std::vector<SQXLDialogRecord> m_dialogs;
    int m_proxyQuestions = 0;
    std::vector<qxplat::HttpCertificate> m_certificatesShown;
};
