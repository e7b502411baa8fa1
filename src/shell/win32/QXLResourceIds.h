// Resource ids shared by the launcher's .rc files and its Win32 code. Plain #defines only:
// the resource compiler reads this file too.
#pragma once

// Templates, the icon and the built-in splash picture.
#define IDD_QXL_MAIN 101
#define IDI_QXL_LAUNCHER 116
#define IDD_QXL_LOGIN 131
#define IDB_QXL_SPLASH 132
#define IDD_QXL_SPLASH 133
#define IDD_QXL_CHANGE_PASSWORD 134
#define IDD_QXL_NEXT_PASSCODE 135
#define IDD_QXL_NEW_PIN 136
#define IDD_QXL_SELECT_VERSION 144
#define IDD_QXL_WARN_UPDATE 146

// The invisible main window's only control.
#define IDC_QXL_MAIN_TEXT 1000

// The splash: status line, progress bar and built-in picture.
#define IDC_QXL_STATUS 1002
#define IDC_QXL_PROGRESS 1004
#define IDC_QXL_PICTURE 1005

// Login dialog.
#define IDC_QXL_LOGIN_LABEL 102
#define IDC_QXL_LOGIN_EDIT 105
#define IDC_QXL_PASSWORD_LABEL 109
#define IDC_QXL_PASSWORD_EDIT 112

// Change-password dialog.
#define IDC_QXL_CHANGE_HEADING 1006
#define IDC_QXL_CHANGE_LABEL 103
#define IDC_QXL_CHANGE_EDIT 106
#define IDC_QXL_CHANGE_VERIFY_LABEL 108
#define IDC_QXL_CHANGE_VERIFY_EDIT 113

// New-PIN dialog.
#define IDC_QXL_PIN_HEADING 1008
#define IDC_QXL_PIN_LABEL 104
#define IDC_QXL_PIN_EDIT 107
#define IDC_QXL_PIN_VERIFY_LABEL 111
#define IDC_QXL_PIN_VERIFY_EDIT 115

// Next-passcode dialog.
#define IDC_QXL_PASSCODE_HEADING 1007
#define IDC_QXL_PASSCODE_LABEL 110
#define IDC_QXL_PASSCODE_EDIT 114

// Version choice dialog.
#define IDC_QXL_VERSION_LABEL 1007
#define IDC_QXL_VERSION_LIST 1006
#define IDC_QXL_VERSION_DEFAULT 1008

// Update warning dialog (Yes 6, No 7 and OK 1 are the system's button ids).
#define IDC_QXL_WARN_TEXT 1010
#define IDC_QXL_WARN_RELEASE_NOTE 3
#define IDC_QXL_WARN_PROGRESS 1011

// Private messages of the windows with a progress bar (WM_USER + 10, + 11, + 12).
#define WM_QXL_SET_RANGE 1034
#define WM_QXL_SET_POSITION 1035
#define WM_QXL_CLOSE 1036
// The update warning dialog's release note download ended; wParam is its state.
#define WM_QXL_RELEASE_NOTE_DONE 1037
