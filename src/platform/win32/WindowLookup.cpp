#include <windows.h>

#include "platform/Process.h"

namespace qxplat {

bool WindowOfClassExists(const std::wstring& className) {
    return FindWindowW(className.c_str(), nullptr) != nullptr;
}

} // namespace qxplat
