#pragma once

#include <memory>

#include "base/QXLanguage.h"
#include "ui/QXLUserInterface.h"

class CQXLGtkHttpPrompt;
class CQXLGtkProgressWindow;

// The Linux launcher's windows, drawn with GTK 3. Built and run on the main thread, which
// alone touches GTK: every call from another thread (the worker, the release note download)
// is handed to the main loop and waits for its result. Modal dialogs and boxes run nested
// loops on the main thread, so the splash and other threads' calls are served meanwhile.
class CQXLGtkUserInterface : public IQXLUserInterface {
public:
    // Connects to the display and builds the hidden splash; null when there is no display
    // to connect to. The calling thread becomes the GTK thread. Texts of boxes come from
    // languageBase's block.
    static std::unique_ptr<CQXLGtkUserInterface> Create(QXLanguageBase languageBase);
    ~CQXLGtkUserInterface() override;

    IQXLProgressWindow* GetProgressWindow() override;
    // Runs until the progress window is closed and, after that, until workerDone is set;
    // looks at workerDone every 50 ms.
    void RunMessageLoop(const CQXEvent& workerDone) override;
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags,
                       QXLBoxOwner owner) override;
    int ShowCredentialDialog(CQXLCredentialDlg& dialog) override;
    int ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) override;
    int ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) override;
    // The proxy credential and certificate dialogs.
    qxplat::HttpPrompt* GetHttpPrompt() override;

    // The splash, for the programs that look at what it shows.
    CQXLGtkProgressWindow& Splash() { return *m_splash; }
    // True once the progress window was closed.
    bool IsClosed() const;

private:
    explicit CQXLGtkUserInterface(QXLanguageBase languageBase);

    QXLanguageBase m_languageBase;
    std::unique_ptr<CQXLGtkProgressWindow> m_splash;
    std::unique_ptr<CQXLGtkHttpPrompt> m_httpPrompt;
    bool m_closed = false; // GTK thread only
};
