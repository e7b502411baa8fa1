#include "QXForm.h"

#include "QXWireText.h"

CQXForm::CQXForm(const std::string& body) {
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t equals = pair.find('=');
            // Raw, as the launcher sends them: a '+' or '%' is part of the value.
            const std::string name = pair.substr(0, equals);
            const std::string value =
                equals == std::string::npos ? std::string() : pair.substr(equals + 1);
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
