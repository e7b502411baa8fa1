#pragma once

#include <chrono>

// The pauses of polling waits, which tests replace so that they never sleep for real.
class IQXLClock {
public:
    virtual ~IQXLClock() = default;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The real pause of the calling thread.
IQXLClock& QXLSystemClock();
