#pragma once

#include "ui/QXLUserInterface.h"

// The user interface of the Windows launcher: system-modal message boxes in the user's default
// language, and WinINet's own dialogs for the questions of HTTP requests.
class CQXLWin32UserInterface : public IQXLUserInterface {
public:
    int ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                       unsigned flags) override;
    qxplat::HttpPrompt* GetHttpPrompt() override { return nullptr; }
};
