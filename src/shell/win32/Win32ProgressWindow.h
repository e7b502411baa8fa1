#pragma once

#include <windows.h>

#include "ui/QXLProgressWindow.h"

// The splash as the worker thread drives it: every call is sent to the splash's thread
// (private messages, SetDlgItemText, ShowWindow) and returns when that thread has handled it.
class CQXLWin32ProgressWindow : public IQXLProgressWindow {
public:
    explicit CQXLWin32ProgressWindow(HWND splash) : m_splash(splash) {}

    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void SetStatusText(const std::wstring& text) override;
    void Show() override;
    void Hide() override;
    void Close() override;

    HWND Handle() const { return m_splash; }

private:
    HWND m_splash;
};
