#pragma once

#include <string>

// What GetAppPrimary names as the program to start, with its parameters.
struct CQXLPrimaryApplication {
    std::wstring PrimaryName;
    std::wstring PrimaryParameters;
};
