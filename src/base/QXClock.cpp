#include "base/QXClock.h"

#include <thread>

namespace {

class CQXLSystemClock : public IQXLClock {
public:
    void Sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

} // namespace

IQXLClock& QXLSystemClock() {
    static CQXLSystemClock clock;
    return clock;
}
