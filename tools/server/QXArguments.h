#pragma once

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Thrown for a command line that cannot be understood; the text is for the user.
class CQXUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line of positional words and "--name value" / "--switch" options.
class CQXArguments {
public:
    // switches names the options that take no value. Throws CQXUsageError.
    CQXArguments(const std::vector<std::string>& words, const std::set<std::string>& switches,
                 const std::set<std::string>& valued);

    const std::vector<std::string>& Positional() const { return m_positional; }
    bool Has(const std::string& name) const;
    std::string Get(const std::string& name, const std::string& fallback = std::string()) const;
    // Every value of an option given more than once, in order.
    std::vector<std::string> GetAll(const std::string& name) const;
    // A whole number, or CQXUsageError naming the option.
    long long GetNumber(const std::string& name, long long fallback) const;

private:
    std::vector<std::string> m_positional;
    std::vector<std::pair<std::string, std::string>> m_options;
};
