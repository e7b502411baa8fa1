// The sample primary application on Windows: one top-level window of the class the launcher
// waits for, showing what the program was started with.
#include <windows.h>
// After windows.h, whose types it needs.
#include <shellapi.h>

#include "FluxStart.h"

namespace {

constexpr UINT_PTR kCloseTimer = 1;
constexpr int kMargin = 12;

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    return out;
}

// The arguments as the C runtime splits them, without the program.
std::vector<std::string> Arguments() {
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; list != nullptr && i < count; ++i)
        arguments.push_back(ToUtf8(list[i]));
    LocalFree(list);
    return arguments;
}

std::filesystem::path ProgramDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::wstring(path, n < MAX_PATH ? n : 0)).parent_path();
}

// The text shown, kept by the window for its paints.
std::wstring g_summary;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        InflateRect(&area, -kMargin, -kMargin);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, g_summary.c_str(), static_cast<int>(g_summary.size()), &area,
                  DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const SFluxStart start =
        ReadFluxStart(ToUtf8(GetCommandLineW()), Arguments(), ProgramDirectory());
    if (const wchar_t* report = _wgetenv(L"QXFLUX_REPORT"); report != nullptr && *report != L'\0')
        WriteFluxReport(start, report);
    g_summary = FromUtf8(FluxSummary(start));

    const std::wstring className = FromUtf8(kFluxWindowClass);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className.c_str();
    if (RegisterClassW(&windowClass) == 0)
        return 1;
    HWND window =
        CreateWindowExW(0, className.c_str(), L"qxflux", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    if (start.closeAfterMs > 0)
        SetTimer(window, kCloseTimer, static_cast<UINT>(start.closeAfterMs), nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
