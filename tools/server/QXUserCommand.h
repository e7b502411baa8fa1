#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class CQXArguments;

// "qxserver user add|passwd|del|list" and "qxserver reports": the administration commands,
// run against the same database as the server (which may be running).
class CQXUserCommand {
public:
    CQXUserCommand(std::istream& in, std::ostream& out) : m_in(in), m_out(out) {}

    // words: the arguments after "user". Returns the exit code.
    int RunUser(const std::vector<std::string>& words);
    // words: the arguments after "reports".
    int RunReports(const std::vector<std::string>& words);

    // The database of --db, else the one in the --root site; CQXUsageError without either.
    static std::string DatabasePath(const CQXArguments& args);

private:
    std::string Secret(const std::string& given, const char* what);

    std::istream& m_in;
    std::ostream& m_out;
};
