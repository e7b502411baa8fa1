#include <thread>

#include "app/QXLServices.h"
#include "platform/Process.h"

namespace {

class SystemWindowFinder : public IQXLWindowFinder {
public:
    bool WindowOfClassExists(const std::wstring& className) override {
        return qxplat::WindowOfClassExists(className);
    }
};

class SystemClock : public IQXLClock {
public:
    void Sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

} // namespace

IQXLWindowFinder& QXLSystemWindowFinder() {
    static SystemWindowFinder finder;
    return finder;
}

IQXLClock& QXLSystemClock() {
    static SystemClock clock;
    return clock;
}
