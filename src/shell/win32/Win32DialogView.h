#pragma once

#include <atomic>
#include <string>
#include <windows.h>

// A dialog window made from a template of the program's resources, whose messages go to the
// object that made it. The window belongs to the thread that made it, which must pump its
// messages; other threads reach it only through SendMessage.
class CQXLWin32DialogView {
public:
    CQXLWin32DialogView() = default;
    virtual ~CQXLWin32DialogView() = default;

    CQXLWin32DialogView(const CQXLWin32DialogView&) = delete;
    CQXLWin32DialogView& operator=(const CQXLWin32DialogView&) = delete;

    // The window; null before it is made and once it is destroyed.
    HWND Handle() const { return m_window; }

protected:
    // Shows the dialog modally with its own message loop on the calling thread, owned by
    // owner (which it disables meanwhile). Returns the value given to EndDialog, -1 when the
    // dialog could not be made.
    INT_PTR RunModal(HINSTANCE instance, int templateId, HWND owner);
    // Makes the dialog modeless on the calling thread; null when it could not be made.
    HWND CreateModeless(HINSTANCE instance, int templateId, HWND owner);

    // WM_INITDIALOG. Returns false when it has set the focus itself.
    virtual bool OnInitDialog() = 0;
    // A button was clicked (or Enter, Escape, the close box gave IDOK or IDCANCEL).
    virtual void OnButton(int /*id*/) {}
    // Any other message: true when handled, with its result in result.
    virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }

    // The text of control id, read with a 1024-character buffer (so at most 1023 count).
    std::wstring ItemText(int id) const;
    void SetItemText(int id, const std::wstring& text) const;
    void ShowItem(int id, bool show) const;
    void EnableItem(int id, bool enable) const;
    // A message box owned by this dialog, in the user's default language.
    int ShowBox(const std::wstring& text, const std::wstring& caption, UINT flags) const;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    // Written on the window's thread, read by threads that send it messages.
    std::atomic<HWND> m_window{nullptr};
    bool m_modal = false;
};
