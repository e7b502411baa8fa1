#pragma once

#include <string>

// The progress window as the worker thread sees it. Every call runs on the window's own
// thread and returns when it is done, so the worker never touches a window directly.
class IQXLProgressWindow {
public:
    virtual ~IQXLProgressWindow() = default;

    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void SetStatusText(const std::wstring& text) = 0;
    virtual void Show() = 0;
    // Closes the window and ends the main thread's message loop.
    virtual void Close() = 0;
};
