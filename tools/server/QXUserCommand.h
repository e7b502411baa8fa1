#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "QXStorage.h"

class CQXArguments;

// "qxserver user add|passwd|del|list" and "qxserver reports": the administration commands,
// run against the same database as the server (which may be running).
class CQXUserCommand {
public:
    CQXUserCommand(std::istream& in, std::ostream& out) : m_in(in), m_out(out) {}

    // words: the arguments after "user". Returns the exit code.
    int RunUser(const std::vector<std::string>& words);
    // words: the arguments after "reports": every report, or with --app a summary.
    int RunReports(const std::vector<std::string>& words);

    // The database of --db, else the one in the --root site; CQXUsageError without either.
    static std::string DatabasePath(const CQXArguments& args);
    // given, or else one line of in (a CR before its end dropped); CQXUsageError when that is
    // empty too.
    static std::string ReadSecret(std::istream& in, const std::string& given, const char* what);

private:
    // reports --app APP [--days N]: updates per day and the latest failures.
    int Summarize(const CQXArguments& args, const std::vector<SQXUpdateRecord>& records,
                  std::int64_t now);

    std::istream& m_in;
    std::ostream& m_out;
};
