#pragma once

#include <string>
#include <vector>

// Joins arguments into one command line that the launcher's splitter reads back into the
// same arguments: the form a Windows program receives, built on platforms that pass argv.
std::wstring QXJoinCommandLine(const std::vector<std::wstring>& arguments);
