#pragma once

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <string>

#include "shell/gtk/QXLGtkControls.h"
#include "ui/QXLProgressWindow.h"

// The splash: an undecorated window centred on the screen with the splash picture, the status
// line and the progress bar, hidden until the worker shows it. Built on the GTK thread; the
// worker's calls run there and return when done. Close hands the end of the run to onClose;
// after it the window stays hidden and further calls do nothing.
class CQXLGtkProgressWindow : public IQXLProgressWindow {
public:
    explicit CQXLGtkProgressWindow(std::function<void()> onClose);
    ~CQXLGtkProgressWindow() override;

    CQXLGtkProgressWindow(const CQXLGtkProgressWindow&) = delete;
    CQXLGtkProgressWindow& operator=(const CQXLGtkProgressWindow&) = delete;

    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void SetStatusText(const std::wstring& text) override;
    void Show() override;
    void Hide() override;
    void Close() override;

    // GTK thread: the window, for the boxes it owns.
    GtkWindow* Window() const { return GTK_WINDOW(m_window); }
    // Any thread: the bar's filled fraction and the status line, as shown.
    double ShownFraction() const;
    std::wstring ShownStatusText() const;

private:
    void UpdateBar();

    std::function<void()> m_onClose;
    GtkWidget* m_window;
    std::unique_ptr<CQXLGtkControls> m_controls;
    // GTK thread only.
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    bool m_closed = false;
};
