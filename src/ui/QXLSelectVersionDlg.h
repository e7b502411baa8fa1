#pragma once

#include <string>
#include <vector>

#include "base/QXLanguage.h"
#include "ui/QXLDialogLayout.h"

// The version choice dialog (template 144): the versions the server allows, in server order,
// in a drop-down list whose first entry is selected; OK takes the selected one, Default none.
// Owned by the launcher context, shown at most once.
class CQXLSelectVersionDlg {
public:
    static constexpr int kTemplate = 144;
    static constexpr int kLabel = 1007;
    static constexpr int kList = 1006;
    static constexpr int kButtonDefault = 1008;

    explicit CQXLSelectVersionDlg(QXLanguageBase languageBase) : m_languageBase(languageBase) {}
    virtual ~CQXLSelectVersionDlg() = default;

    CQXLSelectVersionDlg(const CQXLSelectVersionDlg&) = delete;
    CQXLSelectVersionDlg& operator=(const CQXLSelectVersionDlg&) = delete;

    QXLanguageBase GetLanguageBase() const { return m_languageBase; }
    void SetLanguageBase(QXLanguageBase languageBase) { m_languageBase = languageBase; }

    static const SQXLDialogLayout& Layout();
    // The text of a label or button (caption: text 1), from the dialog's language block.
    std::wstring ControlText(int controlId) const;
    std::wstring Caption() const;

    // The choices; the list must outlive the showing. Not owned.
    void SetVersionList(const std::vector<std::wstring>* versions) { m_versions = versions; }
    const std::vector<std::wstring>& Versions() const;

    // At initialisation: empties the selection. Returns the entry to select first, -1 when
    // the list is empty.
    int OnInit();
    // OK with the list's selected entry (-1: none, so the first). Returns the result 1.
    int OnOk(int selectedIndex);
    // Default (or closing): the selection stays empty. Returns the result 2.
    int OnDefault();

    // The chosen version; empty: the server's default.
    const std::wstring& GetSelection() const { return m_selection; }

private:
    QXLanguageBase m_languageBase;
    const std::vector<std::wstring>* m_versions = nullptr;
    std::wstring m_selection;
};
