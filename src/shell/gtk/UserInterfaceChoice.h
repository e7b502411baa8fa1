#pragma once

#include <functional>

class IQXLUserInterface;

// Picks the launcher's user interface and runs run with it. QXLAUNCHER_UI=scripted picks the
// scripted one, which plays QXLAUNCHER_UI_SCRIPT (a response file) when it is set and at the
// end appends the texts of its message boxes to QXLAUNCHER_UI_RECORD when that is set; otherwise
// the GTK windows. Without a display to draw them on, the launcher says so on stderr and in
// its log and returns 1 without running. Returns run's exit code.
int QXLRunWithChosenInterface(const std::function<int(IQXLUserInterface&)>& run);
