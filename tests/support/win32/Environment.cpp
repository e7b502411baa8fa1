#include "support/Environment.h"

#include <windows.h>

void SetTestEnvironment(const std::string& name, const std::optional<std::string>& value) {
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
}
