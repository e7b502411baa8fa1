#pragma once

#include "ui/QXLDialogLayout.h"

// The two windows of the launcher that are not dialogs of a model: the invisible main window
// and the splash screen with its status line and progress bar.

// The main window (template 101, 166 x 24): never shown; its one label holds
// kQXLMainWindowText.
const SQXLDialogLayout& QXLMainWindowLayout();
inline constexpr wchar_t kQXLMainWindowText[] = L"Launcher empty invisible main window";

// The splash screen (template 133, 338 x 258, no caption): the built-in picture (bitmap 132,
// 506 x 388 pixels), the status line, which opens with text 21 of the English block whatever
// the language, and the progress bar (range 0 to 100 until set).
const SQXLDialogLayout& QXLSplashLayout();

constexpr int kQXLMainWindowTemplate = 101;
constexpr int kQXLSplashTemplate = 133;
constexpr int kQXLSplashPicture = 1005;
constexpr int kQXLSplashStatus = 1002;
constexpr int kQXLSplashProgress = 1004;
// The built-in picture's resource id and size in pixels.
constexpr int kQXLSplashBitmap = 132;
constexpr int kQXLSplashBitmapWidth = 506;
constexpr int kQXLSplashBitmapHeight = 388;
// The application icon's resource id.
constexpr int kQXLApplicationIcon = 116;
