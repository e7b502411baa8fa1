#include "app/QXLServices.h"
#include "platform/Restart.h"

namespace {

class CQXLSystemRestart final : public IQXLRestart {
public:
    bool Restart() override { return qxplat::RestartSystem(); }
};

} // namespace

IQXLRestart& QXLSystemRestart() {
    static CQXLSystemRestart restart;
    return restart;
}
