#pragma once

#include <string>

#include "base/QXClock.h"

class IQXLUserInterface;

// Finds the primary application's main window.
class IQXLWindowFinder {
public:
    virtual ~IQXLWindowFinder() = default;
    // True when a top-level window of className exists.
    virtual bool WindowOfClassExists(const std::wstring& className) = 0;
};

// Restarts the machine.
class IQXLRestart {
public:
    virtual ~IQXLRestart() = default;
    // True when the system accepted the restart.
    virtual bool Restart() = 0;
};

// What the launch sequence needs from the system that a test must replace. None is owned;
// each must outlive the launcher context. A null service is the real one.
struct SQXLServices {
    IQXLUserInterface* userInterface = nullptr;
    IQXLWindowFinder* windows = nullptr;
    IQXLClock* clock = nullptr;
    IQXLRestart* restart = nullptr;
};

// The real services: the system's window lookup and restart.
IQXLWindowFinder& QXLSystemWindowFinder();
IQXLRestart& QXLSystemRestart();
