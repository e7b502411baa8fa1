#include "base/QXProgramCommandLine.h"

#include "base/QXText.h"

namespace {

constexpr std::wstring_view kShellCharacters = L"&|<>^%";
constexpr std::wstring_view kShellExtensions[] = {L".cmd", L".bat"};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program: quotes open and close a part where blanks belong to it; nothing is escaped.
std::wstring ReadProgram(std::wstring_view line, std::size_t& at) {
    std::wstring value;
    bool quoted = false;
    for (; at < line.size() && (quoted || !IsBlank(line[at])); ++at) {
        if (line[at] == L'"')
            quoted = !quoted;
        else
            value.push_back(line[at]);
    }
    return value;
}

std::wstring ReadArgument(std::wstring_view line, std::size_t& at) {
    std::wstring value;
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
        const wchar_t c = line[at];
        if (c == L'\\') {
            std::size_t backslashes = 0;
            for (; at < line.size() && line[at] == L'\\'; ++at)
                ++backslashes;
            const bool beforeQuote = at < line.size() && line[at] == L'"';
            value.append(beforeQuote ? backslashes / 2 : backslashes, L'\\');
            if (beforeQuote && backslashes % 2 == 1) {
                value.push_back(L'"');
                ++at;
            }
        } else if (c == L'"') {
            if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
                value.push_back(L'"');
                ++at;
            } else {
                quoted = !quoted;
            }
            ++at;
        } else {
            value.push_back(c);
            ++at;
        }
    }
    return value;
}

std::wstring Read(std::wstring_view line, std::size_t& at, bool program) {
    return program ? ReadProgram(line, at) : ReadArgument(line, at);
}

// True when text, read alone, is one argument holding exactly value.
bool ReadsBackAs(std::wstring_view text, const std::wstring& value, bool program) {
    std::size_t at = 0;
    return !text.empty() && !IsBlank(text.front()) && Read(text, at, program) == value &&
           at == text.size();
}

bool KeepsInside(std::wstring_view value, bool throughShell) {
    for (const wchar_t c : value) {
        if (c == L'"' || c < 0x20 || c == 0x7F)
            return false;
        if (throughShell && kShellCharacters.find(c) != std::wstring_view::npos)
            return false;
    }
    return true;
}

// text with every placeholder replaced in order; marks in used those it met.
std::wstring Expand(std::wstring text, const std::vector<QXPlaceholder>& placeholders,
                    std::vector<bool>& used) {
    for (std::size_t p = 0; p < placeholders.size(); ++p) {
        const QXPlaceholder& placeholder = placeholders[p];
        for (std::size_t at = text.find(placeholder.name); at != std::wstring::npos;
             at = text.find(placeholder.name, at + placeholder.value.size())) {
            text.replace(at, placeholder.name.size(), placeholder.value);
            used[p] = true;
        }
    }
    return text;
}

} // namespace

std::vector<QXArgumentText> QXReadProgramCommandLine(std::wstring_view line) {
    std::vector<QXArgumentText> arguments;
    std::size_t at = 0;
    for (;;) {
        while (at < line.size() && IsBlank(line[at]))
            ++at;
        if (at == line.size())
            return arguments;
        const std::size_t begin = at;
        std::wstring value = Read(line, at, arguments.empty());
        arguments.push_back({std::move(value), begin, at});
    }
}

std::vector<std::wstring> QXSplitProgramCommandLine(std::wstring_view line) {
    std::vector<std::wstring> values;
    for (QXArgumentText& argument : QXReadProgramCommandLine(line))
        values.push_back(std::move(argument.value));
    return values;
}

std::wstring QXQuoteProgramArgument(std::wstring_view value) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : value) {
        if (c == L'"')
            quoted.append(backslashes + 1, L'\\');
        backslashes = c == L'\\' ? backslashes + 1 : 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring QXMaskProgramCommandLine(const std::wstring& line) {
    return QXMaskSecrets(line, QXReadProgramCommandLine(line));
}

bool QXRunsThroughShell(std::wstring_view program) {
    while (!program.empty() && (program.back() == L'.' || IsBlank(program.back())))
        program.remove_suffix(1);
    const std::size_t slash = program.find_last_of(L"\\/");
    const std::wstring_view name =
        slash == std::wstring_view::npos ? program : program.substr(slash + 1);
    if (QXEqualsNoCase(name, L"cmd") || QXEqualsNoCase(name, L"cmd.exe"))
        return true;
    for (const std::wstring_view extension : kShellExtensions)
        if (program.size() > extension.size() &&
            QXEqualsNoCase(program.substr(program.size() - extension.size()), extension))
            return true;
    return false;
}

std::wstring_view QXExpandProgramCommandLine(std::wstring& line,
                                             const std::vector<QXPlaceholder>& placeholders,
                                             bool throughShell) {
    std::vector<bool> used(placeholders.size(), false);
    const std::vector<QXArgumentText> arguments = QXReadProgramCommandLine(line);
    std::wstring expanded;
    std::size_t copied = 0;
    for (std::size_t n = 0; n < arguments.size(); ++n) {
        const QXArgumentText& argument = arguments[n];
        const std::wstring text =
            Expand(line.substr(argument.begin, argument.end - argument.begin), placeholders, used);
        const std::wstring value = Expand(argument.value, placeholders, used);
        expanded.append(line, copied, argument.begin - copied);
        if (ReadsBackAs(text, value, n == 0))
            expanded += text;
        else
            expanded += n == 0 ? L'"' + value + L'"' : QXQuoteProgramArgument(value);
        copied = argument.end;
    }
    expanded.append(line, copied, std::wstring::npos);
    for (std::size_t p = 0; p < placeholders.size(); ++p)
        if (used[p] && !KeepsInside(placeholders[p].value, throughShell))
            return placeholders[p].name;
    line = std::move(expanded);
    return {};
}
