#pragma once

#include "shell/win32/Win32DialogView.h"

// The progress window: a captionless bordered popup with the splash picture, a status line
// (1002) and a progress bar (1004), hidden at creation. The picture is "qxlauncher.bmp" of the
// current directory when that loads, otherwise the built-in bitmap 132. Besides its controls
// it answers the private messages 1034 (set range), 1035 (set position) and 1036 (close: ends
// the main thread's message loop). Lives on the main thread.
class CQXLauncherSplashScr : public CQXLWin32DialogView {
public:
    CQXLauncherSplashScr() = default;
    ~CQXLauncherSplashScr() override;

    // Makes the hidden window owned by owner; false when it could not be made.
    bool Create(HINSTANCE instance, HWND owner);

private:
    bool OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void LoadPictureFile();
    void PaintPicture();

    HDC m_memoryDc = nullptr;
    HBITMAP m_picture = nullptr; // the file's picture, selected into m_memoryDc
    HGDIOBJ m_previousBitmap = nullptr;
    POINT m_corner{}; // the picture area's top-left corner, client coordinates
    int m_width = 0;
    int m_height = 0;
};
