#pragma once

#include <map>
#include <string>

// A form body as launchers send it: name=value pairs joined by '&', each value raw up to the
// next '&' (no %XX escapes, no '+' for a blank). A name given twice keeps its first value. Names
// and values come in the code page of the form's "lang" (QXWireText.h) and are held as UTF-8.
class CQXForm {
public:
    explicit CQXForm(const std::string& body);

    bool Has(const std::string& name) const { return m_values.count(name) != 0; }
    // True when a name or value holds a NUL byte: such a form is refused whole, since a secret
    // with a trailing NUL would otherwise match the secret without it.
    bool HasNul() const { return m_hasNul; }
    // The value, or an empty text when the name is absent.
    std::string Get(const std::string& name) const;

private:
    std::map<std::string, std::string> m_values;
    bool m_hasNul = false;
};
