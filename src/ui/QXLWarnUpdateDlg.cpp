#include "ui/QXLWarnUpdateDlg.h"

#include <iterator>

#include "platform/LanguageTexts.h"

namespace {

constexpr unsigned kTextDownloadNote = 49;
constexpr unsigned kTextDownloadFailed = 50;
constexpr unsigned kTextViewNote = 51;
constexpr int kNoteRange = 1000;

// Yes and OK are both default buttons: only one of them is visible at a time, OK over the
// place of Yes and No.
constexpr SQXLControl kControls[] = {
    {CQXLWarnUpdateDlg::kText, QXLControlKind::Label, 7, 6, 224, 23, 0},
    {CQXLWarnUpdateDlg::kButtonYes, QXLControlKind::DefaultButton, 7, 31, 50, 14, 47},
    {kQXLButtonOk, QXLControlKind::DefaultButton, 36, 31, 50, 14, 19},
    {CQXLWarnUpdateDlg::kButtonNo, QXLControlKind::Button, 65, 31, 50, 14, 48},
    {CQXLWarnUpdateDlg::kButtonReleaseNote, QXLControlKind::Button, 123, 31, 108, 14,
     kTextDownloadNote},
    {CQXLWarnUpdateDlg::kProgress, QXLControlKind::ProgressBar, 123, 44, 108, 7, 0},
};

constexpr SQXLDialogLayout kLayout{CQXLWarnUpdateDlg::kTemplate, 238, 52, kQXTextCaption, kControls,
                                   std::size(kControls)};

} // namespace

CQXLWarnUpdateDlg::CQXLWarnUpdateDlg(bool question, const std::wstring& message,
                                     QXLanguageBase languageBase, CQXLLog& log)
    : m_question(question), m_message(message), m_languageBase(languageBase), m_log(log) {}

CQXLWarnUpdateDlg::~CQXLWarnUpdateDlg() { WaitForDownload(); }

void CQXLWarnUpdateDlg::SetReleaseNoteSource(IQXLReleaseNoteSource* source) {
    m_source = source;
    m_state = source != nullptr && source->HasReleaseNote() ? kNoteAvailable : kNoteNone;
}

const SQXLDialogLayout& CQXLWarnUpdateDlg::Layout() { return kLayout; }

std::wstring CQXLWarnUpdateDlg::ControlText(int controlId) const {
    if (controlId == kText)
        return m_message;
    const SQXLControl* control = kLayout.Find(controlId);
    if (control == nullptr || control->textId == 0)
        return std::wstring();
    unsigned textId = control->textId;
    if (controlId == kButtonReleaseNote && m_state == kNoteDownloaded)
        textId = kTextViewNote;
    else if (controlId == kButtonReleaseNote && m_state == kNoteFailed)
        textId = kTextDownloadFailed;
    return QXLoadText(m_languageBase, textId);
}

std::wstring CQXLWarnUpdateDlg::Caption() const {
    return QXLoadText(m_languageBase, kLayout.captionTextId);
}

void CQXLWarnUpdateDlg::OnReleaseNote(IQXLReleaseNoteView& view) {
    if (m_source == nullptr || !m_source->HasReleaseNote())
        return;
    if (m_state == kNoteDownloaded) {
        m_source->OpenReleaseNote();
        return;
    }
    // A download already under way (its button pressed twice before the view disabled it)
    // is not started again.
    if (m_state != kNoteAvailable || m_download.joinable())
        return;
    view.SetRange(0, kNoteRange);
    m_download = std::thread(&CQXLWarnUpdateDlg::Download, this, &view);
}

void CQXLWarnUpdateDlg::WaitForDownload() {
    if (m_download.joinable())
        m_download.join();
}

void CQXLWarnUpdateDlg::Download(IQXLReleaseNoteView* view) {
    const bool fetched = m_source->FetchReleaseNote(*view, kNoteRange);
    if (fetched)
        m_log.LogInfo(L"Release note %s downloaded", m_source->ReleaseNoteName());
    else
        m_log.LogWarning(L"Unable to download release note %s", m_source->ReleaseNoteName());
    m_state = fetched ? kNoteDownloaded : kNoteFailed;
    view->ReleaseNoteFinished(m_state);
}
