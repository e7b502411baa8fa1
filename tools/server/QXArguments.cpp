#include "QXArguments.h"

CQXArguments::CQXArguments(const std::vector<std::string>& words,
                           const std::set<std::string>& switches,
                           const std::set<std::string>& valued) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0) {
            m_positional.push_back(word);
            continue;
        }
        const std::string name = word.substr(2);
        if (switches.count(name)) {
            m_options.emplace_back(name, std::string());
        } else if (valued.count(name)) {
            if (i + 1 >= words.size())
                throw CQXUsageError("option " + word + " needs a value");
            m_options.emplace_back(name, words[++i]);
        } else {
            throw CQXUsageError("unknown option " + word);
        }
    }
}

bool CQXArguments::Has(const std::string& name) const {
    for (const auto& option : m_options) {
        if (option.first == name)
            return true;
    }
    return false;
}

std::string CQXArguments::Get(const std::string& name, const std::string& fallback) const {
    for (const auto& option : m_options) {
        if (option.first == name)
            return option.second;
    }
    return fallback;
}

std::vector<std::string> CQXArguments::GetAll(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& option : m_options) {
        if (option.first == name)
            values.push_back(option.second);
    }
    return values;
}

long long CQXArguments::GetNumber(const std::string& name, long long fallback) const {
    if (!Has(name))
        return fallback;
    const std::string text = Get(name);
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw CQXUsageError("option --" + name + " needs a whole number, not '" + text + "'");
    return value;
}
