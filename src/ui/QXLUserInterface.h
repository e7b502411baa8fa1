#pragma once

#include <string>

#include "platform/HttpTransport.h"

class CQXLCredentialDlg;
class CQXLSelectVersionDlg;
class CQXLWarnUpdateDlg;
class CQXEvent;
class IQXLProgressWindow;

// Message box flags and answers. The values are the Windows message box API's, so that the
// Windows implementation hands them over unchanged.
constexpr unsigned kQXMbOk = 0x0;
constexpr unsigned kQXMbOkCancel = 0x1;
constexpr unsigned kQXMbYesNo = 0x4;
constexpr unsigned kQXMbIconHand = 0x10;
constexpr unsigned kQXMbIconQuestion = 0x20;
constexpr unsigned kQXMbIconExclamation = 0x30;
constexpr unsigned kQXMbIconAsterisk = 0x40;
constexpr unsigned kQXMbSystemModal = 0x1000;
// The low bits of the flags that name the buttons.
constexpr unsigned kQXMbTypeMask = 0xF;

constexpr int kQXIdOk = 1;
constexpr int kQXIdCancel = 2;
constexpr int kQXIdYes = 6;
constexpr int kQXIdNo = 7;

// Which window a message box belongs to.
enum class QXLBoxOwner {
    None,           // no owner: the box stands alone
    ProgressWindow, // the progress window, when there is one
};

// The user interface as the launch sequence and the HTTP client meet it: the progress window,
// message boxes, the modal dialogs and the questions that HTTP requests raise. Built and run
// on the main thread; the Show operations are called on the worker thread (the HTTP prompt
// also on the keep-alive and download threads) and return when the user has answered.
class IQXLUserInterface {
public:
    virtual ~IQXLUserInterface() = default;

    // The progress window of the run, created hidden; null for a run without windows.
    virtual IQXLProgressWindow* GetProgressWindow() = 0;

    // Main thread: pumps the windows' messages until workerDone is set. Closing the progress
    // window ends the loop's normal work, yet the worker may still show a box after it, so the
    // loop serves it until the worker is done (it looks at workerDone at least every 100 ms).
    // Returns once workerDone is set where there is no message loop.
    virtual void RunMessageLoop(const CQXEvent& workerDone) = 0;

    // Shows text in a message box with caption and flags (kQXMb...), system modal, in the
    // user's language, and waits for the user. Returns the button pressed (kQXId...), 0 when
    // no box could be shown.
    virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                               unsigned flags, QXLBoxOwner owner) = 0;

    // Each shows its dialog modally and returns its result: for the credential dialogs 1 (OK,
    // input accepted) or 2 (Cancel, Escape or the close box); for the others see their
    // models. Refusals are shown by the dialog itself, which stays open after them.
    virtual int ShowCredentialDialog(CQXLCredentialDlg& dialog) = 0;
    virtual int ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) = 0;
    virtual int ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) = 0;

    // Who answers an HTTP request's proxy-credential and certificate questions; null leaves
    // them to the system's own dialogs.
    virtual qxplat::HttpPrompt* GetHttpPrompt() = 0;
};
