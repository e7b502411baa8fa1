#include "ui/QXLScriptedUserInterface.h"

#include <chrono>

#include "base/QXEvent.h"
#include "platform/LanguageTexts.h"
#include "ui/QXLSelectVersionDlg.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace {

constexpr std::chrono::milliseconds kLoopPoll{100};

// The first button of each button set, as an unattended user would press it.
int FirstButton(unsigned flags) {
    switch (flags & kQXMbTypeMask) {
    case 2: // abort, retry, ignore
        return 3;
    case 3: // yes, no, cancel
    case kQXMbYesNo:
        return kQXIdYes;
    case 5: // retry, cancel
        return 4;
    default:
        return kQXIdOk;
    }
}

// Starts every edit of the layout empty, as the dialogs open.
QXLEditTexts OpeningEdits(const SQXLDialogLayout& layout) {
    QXLEditTexts edits;
    for (const SQXLControl& control : layout) {
        if (control.kind == QXLControlKind::Edit || control.kind == QXLControlKind::PasswordEdit)
            edits[control.id];
    }
    return edits;
}

// The warning dialog's release note bar and button, without a window: the dialog's model
// keeps the state that the record reports.
class ScriptedReleaseNoteView : public IQXLReleaseNoteView {
public:
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
    void ReleaseNoteFinished(int) override {}
};

} // namespace

void CQXLScriptedUserInterface::QueueAnswer(int button) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_answers.push_back(button);
}

void CQXLScriptedUserInterface::QueueProxyCredentials(const std::wstring& userName,
                                                      const std::wstring& password) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_credentials.emplace_back(userName, password);
}

void CQXLScriptedUserInterface::SetAcceptCertificates(bool accept) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_acceptCertificates = accept;
}

void CQXLScriptedUserInterface::QueueCredentialEntry(int templateId,
                                                     const SQXLCredentialEntry& entry) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_credentialEntries[templateId].entries.push_back(entry);
}

void CQXLScriptedUserInterface::QueueVersionEntry(const SQXLVersionEntry& entry) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_versionEntries.entries.push_back(entry);
}

void CQXLScriptedUserInterface::QueueWarnEntry(const SQXLWarnEntry& entry) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_warnEntries.entries.push_back(entry);
}

std::vector<SQXLMessageBoxRecord> CQXLScriptedUserInterface::MessageBoxes() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_boxes;
}

std::vector<SQXLProgressEvent> CQXLScriptedUserInterface::ProgressEvents() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_events;
}

std::vector<SQXLDialogRecord> CQXLScriptedUserInterface::Dialogs() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_dialogs;
}

int CQXLScriptedUserInterface::ProxyQuestions() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_proxyQuestions;
}

int CQXLScriptedUserInterface::CertificateQuestions() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return static_cast<int>(m_certificatesShown.size());
}

std::vector<qxplat::HttpCertificate> CQXLScriptedUserInterface::CertificatesShown() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_certificatesShown;
}

void CQXLScriptedUserInterface::RunMessageLoop(const CQXEvent& workerDone) {
    while (!workerDone.WaitFor(kLoopPoll)) {
    }
}

int CQXLScriptedUserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                              unsigned flags, QXLBoxOwner owner) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_boxes.push_back({text, caption, flags, owner, 0});
    if (m_answers.empty())
        return FirstButton(flags);
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

int CQXLScriptedUserInterface::ShowCredentialDialog(CQXLCredentialDlg& dialog) {
    const SQXLDialogLayout& layout = dialog.Layout();
    SQXLDialogRecord record;
    record.templateId = layout.templateId;
    record.result = kQXIdCancel;
    QXLEditTexts edits = OpeningEdits(layout);
    Queue<SQXLCredentialEntry>* queue = nullptr;
    {
        // A map's elements stay where they are while others are added.
        std::lock_guard<std::mutex> hold(m_lock);
        queue = &m_credentialEntries[layout.templateId];
    }
    SQXLCredentialEntry entry;
    while (TakeEntry(*queue, entry, record)) {
        for (const auto& [id, text] : entry.edits)
            edits[id] = text;
        if (entry.button != kQXIdOk) {
            record.result = kQXIdCancel;
            break;
        }
        const SQXLDialogVerdict verdict = dialog.OnOk(edits);
        if (verdict.accepted) {
            record.result = kQXIdOk;
            break;
        }
        // The refusal box belongs to the dialog, which stays open for the next entry.
        const std::wstring text = QXLoadText(dialog.GetLanguageBase(), verdict.refusalTextId);
        std::lock_guard<std::mutex> hold(m_lock);
        m_boxes.push_back({text, dialog.Caption(), kQXMbOk | kQXMbIconExclamation,
                           QXLBoxOwner::None, layout.templateId});
    }
    const int result = record.result;
    AddDialog(std::move(record));
    return result;
}

int CQXLScriptedUserInterface::ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) {
    SQXLDialogRecord record;
    record.templateId = CQXLSelectVersionDlg::kTemplate;
    const int selected = dialog.OnInit();
    SQXLVersionEntry entry;
    if (TakeEntry(m_versionEntries, entry, record) && entry.ok)
        record.result = dialog.OnOk(entry.index >= 0 ? entry.index : selected);
    else
        record.result = dialog.OnDefault();
    record.selection = dialog.GetSelection();
    const int result = record.result;
    AddDialog(std::move(record));
    return result;
}

int CQXLScriptedUserInterface::ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) {
    SQXLDialogRecord record;
    record.templateId = CQXLWarnUpdateDlg::kTemplate;
    record.question = dialog.IsQuestion();
    record.message = dialog.Message();
    SQXLWarnEntry entry;
    entry.result = dialog.IsQuestion() ? kQXIdYes : kQXIdOk;
    TakeEntry(m_warnEntries, entry, record);
    ScriptedReleaseNoteView view;
    for (int press = 0; press < entry.releaseNotePresses; ++press) {
        dialog.OnReleaseNote(view);
        dialog.WaitForDownload();
    }
    record.releaseNoteState = dialog.ReleaseNoteState();
    record.result = entry.result;
    AddDialog(std::move(record));
    return entry.result;
}

void CQXLScriptedUserInterface::SetRange(int minimum, int maximum) {
    AddEvent({SQXLProgressEvent::Kind::Range, minimum, maximum, {}});
}

void CQXLScriptedUserInterface::SetPosition(int position) {
    AddEvent({SQXLProgressEvent::Kind::Position, 0, position, {}});
}

void CQXLScriptedUserInterface::SetStatusText(const std::wstring& text) {
    AddEvent({SQXLProgressEvent::Kind::Status, 0, 0, text});
}

void CQXLScriptedUserInterface::Show() { AddEvent({SQXLProgressEvent::Kind::Show, 0, 0, {}}); }

void CQXLScriptedUserInterface::Hide() { AddEvent({SQXLProgressEvent::Kind::Hide, 0, 0, {}}); }

void CQXLScriptedUserInterface::Close() { AddEvent({SQXLProgressEvent::Kind::Close, 0, 0, {}}); }

bool CQXLScriptedUserInterface::AskProxyCredentials(std::wstring& userName,
                                                    std::wstring& password) {
    std::lock_guard<std::mutex> hold(m_lock);
    ++m_proxyQuestions;
    if (m_credentials.empty())
        return false;
    userName = m_credentials.front().first;
    password = m_credentials.front().second;
    m_credentials.pop_front();
    return true;
}

bool CQXLScriptedUserInterface::AcceptCertificate(unsigned long,
                                                  const qxplat::HttpCertificate& certificate) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_certificatesShown.push_back(certificate);
    return m_acceptCertificates;
}

template <typename Entry>
bool CQXLScriptedUserInterface::TakeEntry(Queue<Entry>& queue, Entry& entry,
                                          SQXLDialogRecord& record) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (queue.entries.empty())
        return false;
    entry = queue.entries.front();
    queue.entries.pop_front();
    record.entries.push_back(queue.played++);
    return true;
}

void CQXLScriptedUserInterface::AddEvent(SQXLProgressEvent event) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.push_back(std::move(event));
}

void CQXLScriptedUserInterface::AddDialog(SQXLDialogRecord record) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_dialogs.push_back(std::move(record));
}
