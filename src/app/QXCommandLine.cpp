#include "app/QXCommandLine.h"

namespace {

bool NeedsQuotes(const std::wstring& argument) {
    return argument.empty() || argument.find_first_of(L" \t\n\v\r\"") != std::wstring::npos;
}

} // namespace

std::wstring QXJoinCommandLine(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (const std::wstring& argument : arguments) {
        if (!line.empty())
            line.push_back(L' ');
        if (!NeedsQuotes(argument)) {
            line.append(argument);
            continue;
        }
        // Inside quotes only a backslash before a quote is special: \" stands for ".
        line.push_back(L'"');
        for (wchar_t c : argument) {
            if (c == L'"')
                line.push_back(L'\\');
            line.push_back(c);
        }
        line.push_back(L'"');
    }
    return line;
}
