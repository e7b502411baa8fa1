#include "base/QXCommandLine.h"

#include "base/QXText.h"

namespace {

constexpr wchar_t kMask[] = L"***";

bool IsBlank(wchar_t c) {
    return c == L'\t' || c == L'\n' || c == L'\v' || c == L'\r' || c == L' ';
}

// The splitter's three states: between arguments, in a plain one, in a quoted one.
std::vector<QXArgumentText> Split(const wchar_t* text) {
    std::vector<QXArgumentText> arguments;
    if (text == nullptr)
        return arguments;
    enum class State { Between, Plain, Quoted } state = State::Between;
    std::wstring current;
    std::size_t begin = 0;
    std::size_t i = 0;
    const auto finish = [&](std::size_t end) {
        arguments.push_back({std::move(current), begin, end});
        current.clear();
        state = State::Between;
    };
    for (; text[i] != L'\0'; ++i) {
        const wchar_t c = text[i];
        if (state == State::Between) {
            if (IsBlank(c))
                continue;
            begin = i;
            state = c == L'"' ? State::Quoted : State::Plain;
            if (state == State::Plain)
                current.push_back(c);
        } else if (state == State::Plain) {
            if (IsBlank(c))
                finish(i);
            else
                current.push_back(c);
        } else if (c == L'"') {
            finish(i + 1);
        } else if (c == L'\\') {
            // A backslash that ends the text stands for itself and closes the argument.
            const wchar_t next = text[i + 1];
            if (next == L'\0') {
                current.push_back(c);
                finish(i + 1);
                return arguments;
            }
            if (next != L'"')
                current.push_back(c);
            current.push_back(next);
            ++i;
        } else {
            current.push_back(c);
        }
    }
    if (state != State::Between)
        finish(i);
    return arguments;
}

bool NeedsQuotes(const std::wstring& argument) {
    return argument.empty() || argument.front() == L'"' ||
           argument.find_first_of(L" \t\n\v\r") != std::wstring::npos;
}

bool IsSecretOption(const std::wstring& argument) {
    return QXEqualsNoCase(argument, kQXOptionProxyPassword) ||
           QXEqualsNoCase(argument, kQXOptionServerPassword);
}

} // namespace

void SplitCommandLine(const wchar_t* text, std::vector<std::wstring>& arguments) {
    arguments.clear();
    for (QXArgumentText& argument : Split(text))
        arguments.push_back(std::move(argument.value));
}

std::wstring QXJoinCommandLine(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (std::size_t n = 0; n < arguments.size(); ++n) {
        const std::wstring& argument = arguments[n];
        if (n > 0)
            line.push_back(L' ');
        if (!NeedsQuotes(argument)) {
            line.append(argument);
            continue;
        }
        line.push_back(L'"');
        for (wchar_t c : argument) {
            if (c == L'"')
                line.push_back(L'\\');
            line.push_back(c);
        }
        // A backslash at the very end of the text closes the argument by itself, whereas a
        // closing quote after it would be read as a quote of the argument.
        const bool last = n + 1 == arguments.size();
        if (!(last && argument.back() == L'\\'))
            line.push_back(L'"');
    }
    return line;
}

std::wstring QXMaskCommandLineSecrets(const std::wstring& commandLine) {
    return QXMaskSecrets(commandLine, Split(commandLine.c_str()));
}

std::wstring QXMaskSecrets(const std::wstring& line, const std::vector<QXArgumentText>& arguments) {
    std::wstring masked;
    std::size_t copied = 0;
    for (std::size_t n = 1; n < arguments.size(); ++n) {
        if (!IsSecretOption(arguments[n - 1].value))
            continue;
        masked.append(line, copied, arguments[n].begin - copied);
        masked.append(kMask);
        copied = arguments[n].end;
    }
    masked.append(line, copied, std::wstring::npos);
    return masked;
}

std::vector<std::wstring> QXMaskSecretArguments(std::vector<std::wstring> arguments) {
    for (std::size_t n = 1; n < arguments.size(); ++n)
        if (IsSecretOption(arguments[n - 1]))
            arguments[n] = kMask;
    return arguments;
}
