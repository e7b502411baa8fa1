#include "shell/win32/QXLauncherDlg.h"

#include "shell/win32/QXLResourceIds.h"

namespace {
HICON LoadIconOfSize(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QXL_LAUNCHER), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}
} // namespace

CQXLauncherDlg::CQXLauncherDlg(HINSTANCE instance) : m_instance(instance) {
    m_icon = LoadIconOfSize(instance, SM_CXICON, SM_CYICON);
    m_smallIcon = LoadIconOfSize(instance, SM_CXSMICON, SM_CYSMICON);
}

CQXLauncherDlg::~CQXLauncherDlg() {
    if (Handle() != nullptr) {
        DestroyWindow(Handle());
    }
    if (m_icon != nullptr) {
        DestroyIcon(m_icon);
    }
    if (m_smallIcon != nullptr) {
        DestroyIcon(m_smallIcon);
    }
}

bool CQXLauncherDlg::Create() {
    return CreateModeless(m_instance, IDD_QXL_MAIN, nullptr) != nullptr &&
           SplashWindow() != nullptr;
}

bool CQXLauncherDlg::OnInitDialog() {
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
    m_splash.Create(m_instance, Handle());
    return true;
}

void CQXLauncherDlg::PaintIcon() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(Handle(), &paint);
    SendMessageW(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(Handle(), &client);
    const int left = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int top = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, left, top, m_icon);
    EndPaint(Handle(), &paint);
}

bool CQXLauncherDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    result = 0;
    if (message == WM_PAINT && IsIconic(Handle())) {
        PaintIcon();
        return true;
    }
    if (message == WM_QUERYDRAGICON) {
        result = reinterpret_cast<LRESULT>(m_icon);
        return true;
    }
    return false;
}
