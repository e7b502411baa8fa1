#include "scenario/ScenarioUi.h"

#include "ui/QXLAuthenDlg.h"
#include "ui/QXLSelectVersionDlg.h"
#include "ui/QXLWarnUpdateDlg.h"

void RecordingProgressWindow::SetRange(int minimum, int maximum) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.push_back("range " + std::to_string(minimum) + "-" + std::to_string(maximum));
}

void RecordingProgressWindow::SetPosition(int position) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_positions.push_back(position);
}

void RecordingProgressWindow::SetStatusText(const std::wstring& text) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_statusTexts.push_back(text);
}

void RecordingProgressWindow::Show() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.push_back("show");
}

void RecordingProgressWindow::Hide() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.push_back("hide");
}

void RecordingProgressWindow::Close() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_events.push_back("close");
}

std::vector<int> RecordingProgressWindow::Positions() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_positions;
}

std::vector<std::wstring> RecordingProgressWindow::StatusTexts() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_statusTexts;
}

std::vector<std::string> RecordingProgressWindow::Events() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_events;
}

void ScenarioUi::QueueOk(QXLEditTexts edits) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_answers.push_back({true, std::move(edits)});
}

void ScenarioUi::QueueCancel() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_answers.push_back({});
}

void ScenarioUi::QueueBox(int button) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_buttons.push_back(button);
}

void ScenarioUi::QueueVersion(int index) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_versions.push_back(index);
}

std::vector<SDialogShown> ScenarioUi::Dialogs() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_dialogs;
}

std::vector<SBoxShown> ScenarioUi::Boxes() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_boxes;
}

void ScenarioUi::RunMessageLoop(const CQXEvent& workerDone) {
    while (!workerDone.WaitFor(std::chrono::milliseconds(100))) {
    }
}

int ScenarioUi::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                               unsigned flags, QXLBoxOwner owner) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_boxes.push_back({text, caption, flags, owner});
    if (m_buttons.empty())
        return (flags & kQXMbTypeMask) == kQXMbYesNo ? kQXIdYes : kQXIdOk;
    const int button = m_buttons.front();
    m_buttons.pop_front();
    return button;
}

int ScenarioUi::ShowCredentialDialog(CQXLCredentialDlg& dialog) {
    std::unique_lock<std::mutex> hold(m_lock);
    SDialogShown shown{dialog.Layout().templateId, {}, {}};
    if (const auto* login = dynamic_cast<CQXLAuthenDlg*>(&dialog)) {
        shown.heldLogin = login->GetLogin();
        shown.heldPassword = login->GetPassword();
    }
    m_dialogs.push_back(shown);
    while (!m_answers.empty()) {
        Answer answer = std::move(m_answers.front());
        m_answers.pop_front();
        if (!answer.ok)
            return kQXIdCancel;
        // The checks may show refusal boxes of their own: not under this lock.
        hold.unlock();
        const SQXLDialogVerdict verdict = dialog.OnOk(answer.edits);
        hold.lock();
        if (verdict.accepted)
            return kQXIdOk;
    }
    return kQXIdCancel;
}

int ScenarioUi::ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_dialogs.push_back({CQXLSelectVersionDlg::kTemplate, {}, {}});
    dialog.OnInit();
    const int index = m_versions.empty() ? -1 : m_versions.front();
    if (!m_versions.empty())
        m_versions.pop_front();
    return index < 0 ? dialog.OnDefault() : dialog.OnOk(index);
}

int ScenarioUi::ShowWarnUpdateDialog(CQXLWarnUpdateDlg&) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_dialogs.push_back({CQXLWarnUpdateDlg::kTemplate, {}, {}});
    return kQXIdNo;
}
