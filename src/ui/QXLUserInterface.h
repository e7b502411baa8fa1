#pragma once

#include <string>

#include "platform/HttpTransport.h"

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

// The user interface as the launch sequence and the HTTP client meet it: message boxes and the
// questions that HTTP requests raise. Called on the worker thread; the HTTP prompt also on the
// keep-alive and download threads.
class IQXLUserInterface {
public:
    virtual ~IQXLUserInterface() = default;

    // Shows text in a message box without owner, with caption and flags (kQXMb...), and waits
    // for the user. Returns the button pressed (kQXId...), 0 when no box could be shown.
    virtual int ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                               unsigned flags) = 0;

    // Who answers an HTTP request's proxy-credential and certificate questions; null leaves
    // them to the system's own dialogs.
    virtual qxplat::HttpPrompt* GetHttpPrompt() = 0;
};
