#pragma once

#include <string_view>
#include <vector>

// A file the console serves from memory: its name below admin/static/ and its content.
struct SQXConsoleAsset {
    std::string_view name;
    std::string_view content;
};

// The console's style sheet and script, and the charting library when the build found it
// (tools/server/console, built in by embed.cmake).
const std::vector<SQXConsoleAsset>& QXConsoleAssets();
