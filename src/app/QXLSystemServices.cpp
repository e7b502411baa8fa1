#include "app/QXLServices.h"
#include "platform/Process.h"

namespace {

class SystemWindowFinder : public IQXLWindowFinder {
public:
    bool WindowOfClassExists(const std::wstring& className) override {
        return qxplat::WindowOfClassExists(className);
    }
};

} // namespace

IQXLWindowFinder& QXLSystemWindowFinder() {
    static SystemWindowFinder finder;
    return finder;
}
