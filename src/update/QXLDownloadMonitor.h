#pragma once

#include <string>

#include "ui/QXLProgressWindow.h"

// Turns the bytes received by the current download into positions of the progress bar. The
// update sequence sets window, scale and base before the downloads; the download-all
// procedure keeps the done count and the list of wanted files.
class CQXLDownloadMonitor {
public:
    CQXLDownloadMonitor() = default;
    virtual ~CQXLDownloadMonitor() = default;

    // The window whose bar moves; null moves nothing.
    void SetWindow(IQXLProgressBar* window) { m_window = window; }
    // Progress units per byte.
    void SetScale(double scale) { m_scale = scale; }
    double GetScale() const { return m_scale; }
    // The bar's position at the start of the download phase.
    void SetBase(int base) { m_base = base; }
    int GetBase() const { return m_base; }
    // Bytes of the files already downloaded in this phase.
    void SetDone(int done) { m_done = done; }
    int GetDone() const { return m_done; }
    // The wanted files of an archive download, as the download-all procedure lists them.
    void SetFileListText(const std::wstring& text) { m_fileListText = text; }
    const std::wstring& GetFileListText() const { return m_fileListText; }

    // Moves the bar to ceil(scale * (done + bytes)) + base, where bytes came in for the
    // current file; done + bytes wraps as an unsigned 32-bit count. Returns once the window
    // has taken the position. Side-by-side downloads count each fetch's bytes on their own.
    virtual void Progress(unsigned long bytes) const;

private:
    IQXLProgressBar* m_window = nullptr;
    double m_scale = 0;
    int m_base = 0;
    int m_done = 0;
    std::wstring m_fileListText;
};
