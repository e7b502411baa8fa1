#pragma once

#include <cstddef>
#include <initializer_list>
#include <map>
#include <string>

#include "base/QXLanguage.h"
#include "ui/QXLDialogLayout.h"

// The texts of a dialog's edits, by control id, as the view read them and as it must show them
// again after a refusal.
using QXLEditTexts = std::map<int, std::wstring>;

// What pressing OK led to: the dialog ends with result 1, or it stays open after a refusal
// box showing text refusalTextId (of the dialog's language block).
struct SQXLDialogVerdict {
    bool accepted = false;
    unsigned refusalTextId = 0;
};

// The model of one of the four credential dialogs (login, change password, new PIN, next
// passcode): its template, its texts, its checks on OK and the values it keeps between
// showings. The view shows Layout() with the texts of ControlText and, on OK, hands the edits
// to OnOk. Owned by the launcher context; used by the worker thread and, while shown, by the
// thread that runs its view (never both at once).
class CQXLCredentialDlg {
public:
    explicit CQXLCredentialDlg(QXLanguageBase languageBase) : m_languageBase(languageBase) {}
    virtual ~CQXLCredentialDlg() = default;

    CQXLCredentialDlg(const CQXLCredentialDlg&) = delete;
    CQXLCredentialDlg& operator=(const CQXLCredentialDlg&) = delete;

    QXLanguageBase GetLanguageBase() const { return m_languageBase; }
    void SetLanguageBase(QXLanguageBase languageBase) { m_languageBase = languageBase; }

    virtual const SQXLDialogLayout& Layout() const = 0;
    // The text control id shows, loaded from the dialog's language block; empty for edits.
    virtual std::wstring ControlText(int controlId) const;
    // The window caption (text 1).
    std::wstring Caption() const;

    // The user pressed OK. edits holds every edit of the layout (a missing one counts as
    // empty); the checks run in their fixed order, may empty fields in edits, store the
    // accepted values and say whether the dialog ends. Texts count up to 1023 characters,
    // as the view's read buffer holds.
    virtual SQXLDialogVerdict OnOk(QXLEditTexts& edits) = 0;

protected:
    // The text of edit controlId as the view's buffer reads it: at most kQXLEditCapacity
    // characters; empty when edits has none.
    static std::wstring EditText(const QXLEditTexts& edits, int controlId);
    // Empties the given edits, as a refusal leaves them for the user.
    static void EmptyEdits(QXLEditTexts& edits, std::initializer_list<int> controlIds);

private:
    QXLanguageBase m_languageBase;
};

// The longest edit text that counts: the rest of a longer one is cut off.
constexpr std::size_t kQXLEditCapacity = 1023;

// True when every character of text is a decimal digit "0" to "9" (also for an empty text).
bool QXLAllDecimalDigits(const std::wstring& text);
