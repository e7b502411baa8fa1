#include "shell/win32/QXLauncherSplashScr.h"

#include <commctrl.h>

#include "platform/LanguageTexts.h"
#include "shell/win32/QXLResourceIds.h"
#include "ui/QXLWindowLayouts.h"

CQXLauncherSplashScr::~CQXLauncherSplashScr() {
    if (Handle() != nullptr) {
        DestroyWindow(Handle());
    }
    if (m_memoryDc != nullptr) {
        if (m_previousBitmap != nullptr) {
            SelectObject(m_memoryDc, m_previousBitmap);
        }
        DeleteDC(m_memoryDc);
    }
    if (m_picture != nullptr) {
        DeleteObject(m_picture);
    }
}

bool CQXLauncherSplashScr::Create(HINSTANCE instance, HWND owner) {
    return CreateModeless(instance, IDD_QXL_SPLASH, owner) != nullptr;
}

bool CQXLauncherSplashScr::OnInitDialog() {
    // The status line opens in English whatever the language, until the first status text.
    for (const SQXLControl& control : QXLSplashLayout()) {
        const std::wstring text =
            control.textId != 0 ? QXLoadText(kQXEnglishBase, control.textId) : std::wstring();
        if (!text.empty()) {
            SetItemText(control.id, text);
        }
    }
    LoadPictureFile();
    return true;
}

void CQXLauncherSplashScr::LoadPictureFile() {
    HDC windowDc = GetDC(Handle());
    m_memoryDc = CreateCompatibleDC(windowDc);
    ReleaseDC(Handle(), windowDc);
    // A relative name: the picture comes from the current directory, not the program's.
    m_picture = static_cast<HBITMAP>(
        LoadImageW(nullptr, L"qxlauncher.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (m_picture == nullptr || m_memoryDc == nullptr) {
        ShowItem(IDC_QXL_PICTURE, true);
        return;
    }
    HWND area = GetDlgItem(Handle(), IDC_QXL_PICTURE);
    RECT rect{};
    GetClientRect(area, &rect);
    m_corner = {rect.left < rect.right ? rect.left : rect.right,
                rect.top < rect.bottom ? rect.top : rect.bottom};
    MapWindowPoints(area, Handle(), &m_corner, 1);
    BITMAP info{};
    GetObjectW(m_picture, sizeof(info), &info);
    m_width = info.bmWidth;
    m_height = info.bmHeight;
    m_previousBitmap = SelectObject(m_memoryDc, m_picture);
    RECT picture{m_corner.x, m_corner.y, m_corner.x + m_width, m_corner.y + m_height};
    InvalidateRect(Handle(), &picture, TRUE);
}

void CQXLauncherSplashScr::PaintPicture() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Handle(), &paint);
    BitBlt(dc, m_corner.x, m_corner.y, m_width, m_height, m_memoryDc, 0, 0, SRCCOPY);
    EndPaint(Handle(), &paint);
}

bool CQXLauncherSplashScr::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_QXL_SET_RANGE:
        SendDlgItemMessageW(Handle(), IDC_QXL_PROGRESS, PBM_SETRANGE, 0,
                            MAKELPARAM(LOWORD(wParam), LOWORD(lParam)));
        return true;
    case WM_QXL_SET_POSITION:
        SendDlgItemMessageW(Handle(), IDC_QXL_PROGRESS, PBM_SETPOS, wParam, 0);
        return true;
    case WM_QXL_CLOSE:
        PostQuitMessage(0);
        return true;
    case WM_PAINT:
        if (m_picture == nullptr) {
            return false;
        }
        PaintPicture();
        return true;
    default:
        return false;
    }
}
