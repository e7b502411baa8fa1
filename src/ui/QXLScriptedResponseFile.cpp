#include <functional>
#include <optional>
#include <vector>

#include "base/QXFormat.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "ui/QXLAceNewPinDlg.h"
#include "ui/QXLAceNextPasscodeDlg.h"
#include "ui/QXLAuthenDlg.h"
#include "ui/QXLChangePwdDlg.h"
#include "ui/QXLScriptedUserInterface.h"

// The response file reader of CQXLScriptedUserInterface (the format is in its header).

namespace {

using Command = std::function<void(CQXLScriptedUserInterface&)>;
using Words = std::vector<std::wstring>;

// Splits line into blank-separated words; double quotes group blanks into a word, with \" and
// \\ inside them. nullopt when a quote is left open.
std::optional<Words> SplitWords(const std::wstring& line) {
    Words words;
    std::wstring word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (quoted && c == L'\\' && i + 1 < line.size() &&
            (line[i + 1] == L'"' || line[i + 1] == L'\\')) {
            word += line[++i];
        } else if (c == L'"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words.push_back(word);
    return words;
}

// A whole word of decimal digits with an optional leading minus.
std::optional<int> Number(const std::wstring& word) {
    const std::size_t digits = !word.empty() && word[0] == L'-' ? 1 : 0;
    if (word.size() == digits || word.size() > digits + 9)
        return std::nullopt;
    int value = 0;
    for (std::size_t i = digits; i < word.size(); ++i) {
        if (word[i] < L'0' || word[i] > L'9')
            return std::nullopt;
        value = value * 10 + (word[i] - L'0');
    }
    return digits == 1 ? -value : value;
}

std::optional<Command> BoxCommand(const Words& words) {
    const auto button = words.size() == 2 ? Number(words[1]) : std::nullopt;
    if (!button)
        return std::nullopt;
    return [b = *button](CQXLScriptedUserInterface& ui) { ui.QueueAnswer(b); };
}

// The templates of the credential dialogs, the only ones a "dialog" line may name.
bool IsCredentialTemplate(int templateId) {
    return templateId == CQXLAuthenDlg::kTemplate || templateId == CQXLChangePwdDlg::kTemplate ||
           templateId == CQXLAceNextPasscodeDlg::kTemplate ||
           templateId == CQXLAceNewPinDlg::kTemplate;
}

std::optional<Command> DialogCommand(const Words& words) {
    const auto templateId = words.size() >= 3 ? Number(words[1]) : std::nullopt;
    if (!templateId || !IsCredentialTemplate(*templateId) ||
        (words[2] != L"ok" && words[2] != L"cancel"))
        return std::nullopt;
    SQXLCredentialEntry entry;
    entry.button = words[2] == L"ok" ? kQXIdOk : kQXIdCancel;
    for (std::size_t i = 3; i < words.size(); ++i) {
        const std::size_t equals = words[i].find(L'=');
        const auto id = Number(words[i].substr(0, equals));
        if (equals == std::wstring::npos || !id)
            return std::nullopt;
        entry.edits[*id] = words[i].substr(equals + 1);
    }
    return [t = *templateId, entry](CQXLScriptedUserInterface& ui) {
        ui.QueueCredentialEntry(t, entry);
    };
}

std::optional<Command> VersionCommand(const Words& words) {
    SQXLVersionEntry entry;
    if (words.size() == 2 && words[1] == L"default")
        return [entry](CQXLScriptedUserInterface& ui) { ui.QueueVersionEntry(entry); };
    if (words.size() < 2 || words.size() > 3 || words[1] != L"ok")
        return std::nullopt;
    entry.ok = true;
    if (words.size() == 3) {
        const auto index = Number(words[2]);
        if (!index || *index < 0)
            return std::nullopt;
        entry.index = *index;
    }
    return [entry](CQXLScriptedUserInterface& ui) { ui.QueueVersionEntry(entry); };
}

std::optional<Command> WarnCommand(const Words& words) {
    const auto result = words.size() >= 2 ? Number(words[1]) : std::nullopt;
    if (!result)
        return std::nullopt;
    SQXLWarnEntry entry;
    entry.result = *result;
    for (std::size_t i = 2; i < words.size(); ++i) {
        if (words[i] != L"note")
            return std::nullopt;
        ++entry.releaseNotePresses;
    }
    return [entry](CQXLScriptedUserInterface& ui) { ui.QueueWarnEntry(entry); };
}

std::optional<Command> ProxyCommand(const Words& words) {
    if (words.size() != 3)
        return std::nullopt;
    return [user = words[1], password = words[2]](CQXLScriptedUserInterface& ui) {
        ui.QueueProxyCredentials(user, password);
    };
}

std::optional<Command> CertificatesCommand(const Words& words) {
    if (words.size() != 2 || (words[1] != L"accept" && words[1] != L"decline"))
        return std::nullopt;
    return [accept = words[1] == L"accept"](CQXLScriptedUserInterface& ui) {
        ui.SetAcceptCertificates(accept);
    };
}

// The command of one line's words; nullopt when it is not understood.
std::optional<Command> ParseCommand(const Words& words) {
    const std::wstring& verb = words.front();
    if (verb == L"box")
        return BoxCommand(words);
    if (verb == L"dialog")
        return DialogCommand(words);
    if (verb == L"version")
        return VersionCommand(words);
    if (verb == L"warn")
        return WarnCommand(words);
    if (verb == L"proxy")
        return ProxyCommand(words);
    if (verb == L"certificates")
        return CertificatesCommand(words);
    return std::nullopt;
}

// The commands of text; false with problem set at the first line not understood.
bool ParseResponses(const std::wstring& text, std::vector<Command>& commands,
                    std::wstring& problem) {
    std::size_t start = !text.empty() && text[0] == L'\xFEFF' ? 1 : 0;
    for (int number = 1; start <= text.size(); ++number) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        const auto words = SplitWords(line);
        if (words && (words->empty() || words->front()[0] == L'#'))
            continue;
        const auto command = words ? ParseCommand(*words) : std::nullopt;
        if (!command) {
            problem = QXFormat(L"line %d not understood: %s", number, line);
            return false;
        }
        commands.push_back(*command);
    }
    return true;
}

} // namespace

bool CQXLScriptedUserInterface::LoadResponseFile(const std::wstring& path, std::wstring* problem) {
    std::string bytes;
    std::wstring why;
    std::vector<Command> commands;
    if (!qxplat::ReadWholeFile(path, bytes))
        why = QXFormat(L"cannot read %s", path);
    else
        ParseResponses(qxplat::FromNarrow(bytes), commands, why);
    if (!why.empty()) {
        if (problem != nullptr)
            *problem = why;
        return false;
    }
    for (const Command& command : commands)
        command(*this);
    return true;
}
