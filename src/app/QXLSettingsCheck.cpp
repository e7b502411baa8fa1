#include "app/QXLSettingsCheck.h"

#include <cwctype>
#include <map>
#include <set>

#include "base/QXFormat.h"
#include "base/QXText.h"
#include "config/QXUrlParser.h"
#include "protocol/QXLReplySignature.h"

namespace {

// The keys each section is read for, lower case; "#" stands for a number's digits.
const std::map<std::wstring, std::vector<std::wstring>>& KnownKeys() {
    static const std::map<std::wstring, std::vector<std::wstring>> keys = {
        {L"config",
         {L"url", L"url#", L"sso", L"securityignoreunknowncertificate", L"securitycafile",
          L"forcedownload", L"proxy", L"trace", L"controlchecksum"}},
        {L"filedownload", {L"url", L"url#", L"parallel"}},
        {L"qxlauncher",
         {L"applicationname", L"forceupdate", L"forcereboot", L"chooseversion", L"loginvariable",
          L"updatepublickey", L"updatepublickey#"}},
        {L"qxwin", {L"reqconfigfiles", L"upload", L"extrapath"}},
        {L"sessionping", {L"api", L"pingtimeout"}},
    };
    return keys;
}

// The values that switch each switch on; any other non-empty value leaves it off.
const std::map<std::wstring, std::vector<std::wstring>>& SwitchWords() {
    static const std::map<std::wstring, std::vector<std::wstring>> words = {
        {L"sso", {L"Yes"}},
        {L"securityignoreunknowncertificate", {L"Yes"}},
        {L"forceupdate", {L"True"}},
        {L"forcereboot", {L"True"}},
        {L"chooseversion", {L"True", L"Yes", L"Oui", L"O", L"Y", L"1"}},
    };
    return words;
}

std::wstring Lowered(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return text;
}

std::wstring Trimmed(const std::wstring& text) {
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r") - first + 1);
}

// The key's name with a trailing number replaced by "#", and that number (0 without one).
std::wstring Pattern(const std::wstring& key, int& number) {
    const std::size_t digits = key.find_last_not_of(L"0123456789") + 1;
    number = digits < key.size() ? std::stoi(key.substr(digits)) : 0;
    return digits < key.size() ? key.substr(0, digits) + L"#" : key;
}

std::wstring Unquoted(std::wstring value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

std::wstring Text(const std::string& bytes) {
    std::wstring text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
        return text;
    }
    for (const char c : bytes)
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
}

// A P-256 public key as qxserver keygen writes it: the base64 of its 91-byte DER form.
bool IsPublicKey(const std::wstring& value) {
    std::string ascii;
    for (const wchar_t c : value)
        ascii += static_cast<char>(c < 0x80 ? c : '?');
    const auto der = QXLDecodeBase64(ascii);
    return der && der->size() == 91 && (*der)[0] == 0x30 && (*der)[1] == 0x59;
}

class CChecker {
public:
    explicit CChecker(const std::wstring& fileName) : m_fileName(fileName) {}

    void Line(const std::wstring& raw) {
        ++m_line;
        const std::wstring line = Trimmed(raw);
        if (line.empty() || line[0] == L';' || line[0] == L'#')
            return;
        if (line[0] == L'[') {
            Section(line);
            return;
        }
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
            return Find(L"line without \"=\", ignored (start a comment with \";\")");
        Key(Trimmed(line.substr(0, equals)), Unquoted(Trimmed(line.substr(equals + 1))));
    }

    // The checks that need the whole file: the numbered keys after a gap.
    std::vector<std::wstring> Finish() {
        for (const auto& [name, where] : m_numbered) {
            int number = 0;
            const std::wstring pattern = Pattern(name.second, number);
            const std::wstring stem = pattern.substr(0, pattern.size() - 1);
            // UpdatePublicKey2 follows UpdatePublicKey; URL2 follows URL1.
            const bool unnumberedFirst = stem == L"updatepublickey" && number == 2;
            const std::wstring previous =
                stem + (unnumberedFirst ? std::wstring() : std::to_wstring(number - 1));
            if (number >= 2 && !m_seen.count({name.first, previous}))
                m_findings.push_back(QXFormat(L"%s:%d: %s is never read: %s is missing before it",
                                              m_fileName, where.first, where.second, previous));
        }
        return m_findings;
    }

private:
    void Find(const std::wstring& text) {
        m_findings.push_back(QXFormat(L"%s:%d: %s", m_fileName, m_line, text));
    }

    void Section(const std::wstring& line) {
        const std::size_t close = line.find(L']');
        m_section = Lowered(Trimmed(line.substr(1, close == std::wstring::npos ? 0 : close - 1)));
        if (close == std::wstring::npos || m_section.empty())
            return Find(L"malformed section line");
        if (!KnownKeys().count(m_section))
            Find(QXFormat(L"unknown section [%s]: nothing reads its keys", m_section));
    }

    static const wchar_t* SectionOf(const std::wstring& pattern) {
        static const std::map<std::wstring, const wchar_t*> names = {
            {L"config", L"Config"},
            {L"filedownload", L"FileDownload"},
            {L"qxlauncher", L"QXLauncher"},
            {L"qxwin", L"QXWIN"},
            {L"sessionping", L"SessionPing"}};
        for (const auto& [section, keys] : KnownKeys())
            for (const std::wstring& key : keys)
                if (key == pattern)
                    return names.at(section);
        return nullptr;
    }

    void Key(const std::wstring& key, const std::wstring& value) {
        if (m_section.empty())
            return Find(QXFormat(L"%s before any section: nothing reads it", key));
        const std::wstring lowered = Lowered(key);
        if (!m_seen.insert({m_section, lowered}).second)
            return Find(QXFormat(L"%s repeated in its section: only its first line counts", key));
        const auto known = KnownKeys().find(m_section);
        if (known == KnownKeys().end())
            return;
        int number = 0;
        const std::wstring pattern = Pattern(lowered, number);
        bool here = false;
        for (const std::wstring& name : known->second)
            here = here || name == lowered || (number > 0 && name == pattern);
        if (!here && !Misplaced(key, pattern))
            return;
        if (here && number > 0)
            m_numbered[{m_section, lowered}] = {m_line, key};
        Value(key, pattern, value);
    }

    // False for a key no section knows.
    bool Misplaced(const std::wstring& key, const std::wstring& pattern) {
        const wchar_t* home = SectionOf(pattern);
        if (home == nullptr) {
            Find(QXFormat(L"unknown key %s: nothing reads it", key));
            return false;
        }
        const bool publicKey = pattern.rfind(L"updatepublickey", 0) == 0;
        Find(QXFormat(publicKey ? L"%s belongs in [%s]: move it there (it is used here only "
                                  L"while [%s] has none)"
                                : L"%s belongs in [%s]: it is ignored here",
                      key, home, home));
        return true;
    }

    void Value(const std::wstring& key, const std::wstring& pattern, const std::wstring& value) {
        const auto words = SwitchWords().find(pattern);
        if (words != SwitchWords().end() && !value.empty()) {
            bool on = false;
            for (const std::wstring& word : words->second)
                on = on || QXEqualsNoCase(value, word);
            if (!on)
                Find(QXFormat(L"%s=%s leaves it off: only %s switches it on", key, value,
                              words->second.front()));
        }
        if ((pattern == L"url" || pattern == L"url#") && !value.empty())
            Url(key, value);
        if (pattern == L"parallel" && !value.empty() && QXParallelDownloadsValue(value) == 0)
            Find(QXFormat(L"%s=%s is not a whole number from 1 to %d: %d files are fetched at "
                          L"once",
                          key, value, kMaxParallelDownloads, kDefaultParallelDownloads));
        if (pattern.rfind(L"updatepublickey", 0) == 0 && !value.empty() && !IsPublicKey(value))
            Find(QXFormat(L"%s is malformed: not the one line of public-key.txt (qxserver "
                          L"keygen); every reply will be refused",
                          key));
    }

    void Url(const std::wstring& key, const std::wstring& value) {
        const std::wstring lowered = Lowered(value);
        const bool http = lowered.rfind(L"http://", 0) == 0;
        if (!http && lowered.rfind(L"https://", 0) != 0)
            return Find(QXFormat(L"%s=%s does not begin with http:// or https://", key, value));
        const std::size_t path = value.find(L'/', http ? 7 : 8);
        if (path == std::wstring::npos || value.back() != L'/')
            Find(QXFormat(L"%s=%s: the path must end with \"/\" (service names are appended "
                          L"to it)",
                          key, value));
    }

    std::wstring m_fileName;
    int m_line = 0;
    std::wstring m_section;
    std::set<std::pair<std::wstring, std::wstring>> m_seen;
    std::map<std::pair<std::wstring, std::wstring>, std::pair<int, std::wstring>> m_numbered;
    std::vector<std::wstring> m_findings;
};

} // namespace

std::vector<std::wstring> CQXLSettingsCheck::Check(const std::string& bytes,
                                                   const std::wstring& fileName) {
    CChecker checker(fileName);
    const std::wstring text = Text(bytes);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        checker.Line(text.substr(start, end - start));
        start = end + 1;
    }
    return checker.Finish();
}
