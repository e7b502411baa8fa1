#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// "qxserver admin add|list|del" and "qxserver audit": the console's administrators and the
// audit of their changes, run against the same database as the servers (which may be running).
class CQXAdminCommand {
public:
    CQXAdminCommand(std::istream& in, std::ostream& out, std::ostream& err)
        : m_in(in), m_out(out), m_err(err) {}

    // words: the arguments after "admin". Returns the exit code: 0 done, 1 refused (the
    // reason on err); CQXUsageError for a command line that cannot be understood.
    int RunAdmin(const std::vector<std::string>& words);
    // words: the arguments after "audit": one line per change, oldest first.
    int RunAudit(const std::vector<std::string>& words);

private:
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
};
