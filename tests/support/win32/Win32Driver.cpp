// Drives the launcher's windows from outside, as a user would: finds a dialog (class #32770)
// by a control it holds, types into edits, clicks buttons, reads texts, the state of controls,
// message boxes and the splash's progress bar. Every command waits up to 10 seconds for its
// window; it prints its findings as "name=value" lines in UTF-8 and exits with 0, or with 1
// when the window never came.
//
// A dialog is named by LOCATOR: the id of a control it holds, optionally with the control's
// class ("1006:ComboBox"); message boxes hold the static text 65535.
//   wait LOCATOR                     prints the dialog's caption
//   gone LOCATOR                     waits until no such dialog is shown
//   type LOCATOR ID TEXT             puts TEXT into control ID
//   click LOCATOR ID                 clicks button ID
//   text LOCATOR ID                  prints the text of control ID
//   state LOCATOR ID                 prints visible, enabled and focused of control ID
//   items LOCATOR ID                 prints a drop-down list's entries and its selection
//   select LOCATOR ID INDEX          selects entry INDEX of a drop-down list
//   box BUTTON-ID                    prints a message box's caption and text, then clicks
//   rect LOCATOR...                  prints the screen area of the dialogs as WxH+X+Y
//   splash                           prints the splash's visibility, bar range and position
//   close-splash                     sends the splash the close message
#include <windows.h>
// The common controls' header needs windows.h first.
#include <commctrl.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWaitMilliseconds = 10000;
constexpr int kPollMilliseconds = 50;
constexpr int kBoxText = 0xFFFF;
constexpr int kSplashBar = 1004;
constexpr UINT kCloseMessage = WM_USER + 12;

struct SLocator {
    int id = 0;
    std::wstring className; // empty: any
};

SLocator ParseLocator(const std::wstring& text) {
    SLocator locator;
    const std::size_t colon = text.find(L':');
    locator.id = std::stoi(text.substr(0, colon));
    if (colon != std::wstring::npos) {
        locator.className = text.substr(colon + 1);
    }
    return locator;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

bool Holds(HWND dialog, const SLocator& locator) {
    HWND control = GetDlgItem(dialog, locator.id);
    return control != nullptr &&
           (locator.className.empty() ||
            _wcsicmp(ClassOf(control).c_str(), locator.className.c_str()) == 0);
}

struct SSearch {
    SLocator locator;
    bool visibleOnly = true;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<SSearch*>(data);
    if (ClassOf(window) == L"#32770" && (!search->visibleOnly || IsWindowVisible(window)) &&
        Holds(window, search->locator)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Find(const SLocator& locator, bool visibleOnly = true) {
    SSearch search{locator, visibleOnly, nullptr};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitFor(const SLocator& locator, bool visibleOnly = true) {
    for (int waited = 0; waited < kWaitMilliseconds; waited += kPollMilliseconds) {
        if (HWND window = Find(locator, visibleOnly)) {
            return window;
        }
        Sleep(kPollMilliseconds);
    }
    return nullptr;
}

void Print(const char* name, const std::wstring& value) {
    std::string utf8(value.size() * 4 + 1, '\0');
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, value.c_str(), static_cast<int>(value.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(size > 0 ? size : 0));
    std::printf("%s=%s\n", name, utf8.c_str());
}

void Print(const char* name, long long value) { Print(name, std::to_wstring(value)); }

std::wstring TextOf(HWND window) {
    // WM_GETTEXT works across processes, where GetWindowText does not for controls.
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// The window that holds the keyboard focus in the dialog's thread.
HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

int Fail(const std::wstring& what) {
    Print("error", what);
    return 1;
}

int Items(HWND list) {
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    Print("count", count);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<std::size_t>(length));
        Print("item", item);
    }
    Print("selected", SendMessageW(list, CB_GETCURSEL, 0, 0));
    return 0;
}

int Rect(const std::vector<std::wstring>& locators) {
    RECT all{};
    bool any = false;
    for (const std::wstring& text : locators) {
        HWND window = WaitFor(ParseLocator(text));
        if (window == nullptr) {
            return Fail(L"no dialog holds " + text);
        }
        RECT rect{};
        GetWindowRect(window, &rect);
        if (any) {
            UnionRect(&all, &all, &rect);
        } else {
            all = rect;
            any = true;
        }
    }
    std::printf("%ldx%ld+%ld+%ld\n", all.right - all.left, all.bottom - all.top, all.left, all.top);
    return 0;
}

int Splash(bool close) {
    HWND splash = WaitFor({kSplashBar, L"msctls_progress32"}, false);
    if (splash == nullptr) {
        return Fail(L"no splash");
    }
    if (close) {
        SendMessageW(splash, kCloseMessage, 0, 0);
        return 0;
    }
    HWND bar = GetDlgItem(splash, kSplashBar);
    Print("visible", IsWindowVisible(splash) ? 1 : 0);
    Print("minimum", SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
    Print("maximum", SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    Print("position", SendMessageW(bar, PBM_GETPOS, 0, 0));
    Print("status", TextOf(GetDlgItem(splash, 1002)));
    return 0;
}

int Box(int button) {
    HWND box = WaitFor({kBoxText, L""});
    if (box == nullptr) {
        return Fail(L"no message box");
    }
    Print("caption", TextOf(box));
    Print("text", TextOf(GetDlgItem(box, kBoxText)));
    PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
    return 0;
}

int Control(const std::wstring& command, HWND dialog, int id, const wchar_t* argument) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) {
        return Fail(L"no control " + std::to_wstring(id));
    }
    if (command == L"type" && argument != nullptr) {
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argument));
    } else if (command == L"click") {
        // Posted: the click may open a modal box, which SendMessage would wait for.
        PostMessageW(control, BM_CLICK, 0, 0);
    } else if (command == L"text") {
        Print("text", TextOf(control));
    } else if (command == L"state") {
        Print("visible", IsWindowVisible(control) ? 1 : 0);
        Print("enabled", IsWindowEnabled(control) ? 1 : 0);
        Print("focused", FocusOf(dialog) == control ? 1 : 0);
    } else if (command == L"items") {
        return Items(control);
    } else if (command == L"select" && argument != nullptr) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(std::stoi(argument)), 0);
    } else {
        return Fail(L"bad command " + command);
    }
    return 0;
}

int Run(const std::vector<std::wstring>& args) {
    const std::wstring& command = args[0];
    if (command == L"splash" || command == L"close-splash") {
        return Splash(command == L"close-splash");
    }
    if (command == L"box" && args.size() > 1) {
        return Box(std::stoi(args[1]));
    }
    if (command == L"rect") {
        return Rect(std::vector<std::wstring>(args.begin() + 1, args.end()));
    }
    if (args.size() < 2) {
        return Fail(L"missing locator");
    }
    const SLocator locator = ParseLocator(args[1]);
    if (command == L"gone") {
        for (int waited = 0; waited < kWaitMilliseconds; waited += kPollMilliseconds) {
            if (Find(locator) == nullptr) {
                return 0;
            }
            Sleep(kPollMilliseconds);
        }
        return Fail(L"still shown: " + args[1]);
    }
    HWND dialog = WaitFor(locator);
    if (dialog == nullptr) {
        return Fail(L"no dialog holds " + args[1]);
    }
    if (command == L"wait") {
        Print("caption", TextOf(dialog));
        return 0;
    }
    if (args.size() < 3) {
        return Fail(L"missing control id");
    }
    return Control(command, dialog, std::stoi(args[2]),
                   args.size() > 3 ? args[3].c_str() : nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qx_win32_driver COMMAND [ARGS]\n");
        return 2;
    }
    const int status = Run(std::vector<std::wstring>(argv + 1, argv + argc));
    std::fflush(stdout);
    return status;
}
