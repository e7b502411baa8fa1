#pragma once

#include <optional>
#include <string>

// Sets (or, with nullopt, removes) a variable of the test process's environment, which the
// launcher reads and the programs it starts inherit.
void SetTestEnvironment(const std::string& name, const std::optional<std::string>& value);
