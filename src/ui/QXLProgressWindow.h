#pragma once

#include <string>

// A progress bar as a worker thread drives it: the progress window's, or the release note bar
// of the update warning dialog. Every call runs on the window's own thread and returns when it
// is done, so the worker never touches a window directly.
class IQXLProgressBar {
public:
    virtual ~IQXLProgressBar() = default;

    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void SetPosition(int position) = 0;
};

// The progress window (the splash with its status line and bar) as the worker thread sees it.
class IQXLProgressWindow : public IQXLProgressBar {
public:
    virtual void SetStatusText(const std::wstring& text) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    // Ends the main thread's message loop; the window goes with the loop.
    virtual void Close() = 0;
};
