#include "QXForm.h"

#include "QXWireText.h"
#include "base/QXText.h"

namespace {

// A '%' not followed by two hex digits stays as it is: the launcher sends most bytes raw.
std::string Decode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && QXHexDigit(text[i + 1]) >= 0 &&
                   QXHexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(QXHexDigit(text[i + 1]) * 16 + QXHexDigit(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

CQXForm::CQXForm(const std::string& body) {
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t equals = pair.find('=');
            const std::string name = Decode(pair.substr(0, equals));
            const std::string value =
                equals == std::string::npos ? std::string() : Decode(pair.substr(equals + 1));
            m_hasNul = m_hasNul || name.find('\0') != std::string::npos ||
                       value.find('\0') != std::string::npos;
            m_values.emplace(name, value);
        }
        start = end + 1;
    }
    // "lang" itself is ASCII in every code page.
    const std::string lang = Get("lang");
    std::map<std::string, std::string> converted;
    for (const auto& [name, value] : m_values)
        converted.emplace(QXFromWire(name, lang), QXFromWire(value, lang));
    m_values = std::move(converted);
}

std::string CQXForm::Get(const std::string& name) const {
    const auto it = m_values.find(name);
    return it == m_values.end() ? std::string() : it->second;
}
