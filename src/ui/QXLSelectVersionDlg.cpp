#include "ui/QXLSelectVersionDlg.h"

#include <iterator>

#include "platform/LanguageTexts.h"

namespace {

constexpr SQXLControl kControls[] = {
    {CQXLSelectVersionDlg::kLabel, QXLControlKind::Label, 7, 7, 135, 14, 43},
    {CQXLSelectVersionDlg::kList, QXLControlKind::DropDown, 17, 20, 115, 48, 0},
    {kQXLButtonOk, QXLControlKind::DefaultButton, 23, 36, 40, 15, 19},
    {CQXLSelectVersionDlg::kButtonDefault, QXLControlKind::Button, 86, 36, 40, 15, 44},
};

constexpr SQXLDialogLayout kLayout{
    CQXLSelectVersionDlg::kTemplate, 149, 58, kQXTextCaption, kControls, std::size(kControls)};

constexpr int kResultOk = 1;
constexpr int kResultDefault = 2;

} // namespace

const SQXLDialogLayout& CQXLSelectVersionDlg::Layout() { return kLayout; }

std::wstring CQXLSelectVersionDlg::ControlText(int controlId) const {
    const SQXLControl* control = kLayout.Find(controlId);
    if (control == nullptr || control->textId == 0)
        return std::wstring();
    return QXLoadText(m_languageBase, control->textId);
}

std::wstring CQXLSelectVersionDlg::Caption() const {
    return QXLoadText(m_languageBase, kLayout.captionTextId);
}

const std::vector<std::wstring>& CQXLSelectVersionDlg::Versions() const {
    static const std::vector<std::wstring> none;
    return m_versions != nullptr ? *m_versions : none;
}

int CQXLSelectVersionDlg::OnInit() {
    m_selection.clear();
    return Versions().empty() ? -1 : 0;
}

int CQXLSelectVersionDlg::OnOk(int selectedIndex) {
    const std::vector<std::wstring>& versions = Versions();
    if (versions.empty())
        return kResultOk;
    // No selection, or one the list does not hold, takes the first entry.
    const bool inList =
        selectedIndex >= 0 && static_cast<std::size_t>(selectedIndex) < versions.size();
    m_selection = versions[inList ? static_cast<std::size_t>(selectedIndex) : 0];
    return kResultOk;
}

int CQXLSelectVersionDlg::OnDefault() {
    m_selection.clear();
    return kResultDefault;
}
