#include "QXAdminCommand.h"

#include <iostream>

#include "QXAdminStore.h"
#include "QXArguments.h"
#include "QXReportSummary.h"
#include "QXUserCommand.h"

namespace {

// Changes made here are audited under this name, which no console login can take (an
// administrator's name holds no parentheses).
const char* const kCommandLine = "(command line)";

bool IsUsableAdminName(const std::string& name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (const unsigned char c : name)
        if (c <= 0x20 || c == 0x7F || c == '(' || c == ')')
            return false;
    return true;
}

} // namespace

int CQXAdminCommand::RunAdmin(const std::vector<std::string>& words) {
    const CQXArguments args(words, {}, {"db", "root", "password"});
    const auto& positional = args.Positional();
    const std::string action = positional.empty() ? std::string() : positional[0];
    if (action != "add" && action != "del" && action != "list")
        throw CQXUsageError("admin needs add, del or list");
    if (positional.size() != (action == "list" ? 1u : 2u))
        throw CQXUsageError("admin " + action + " takes " + (action == "list" ? "no" : "one") +
                            " name");
    CQXClock clock;
    const auto storage = OpenStorage(CQXUserCommand::DatabasePath(args));
    CQXAdminStore admins(*storage, clock);
    if (action == "list") {
        for (const auto& name : storage->ListAdmins())
            m_out << name << '\n';
        return 0;
    }
    const std::string& name = positional[1];
    if (action == "add" && !IsUsableAdminName(name)) {
        m_err << "qxserver: an administrator's name is 1 to 64 characters without blanks, "
                 "control characters or parentheses\n";
        return 1;
    }
    const bool done =
        action == "add"
            ? admins.Add(name, CQXUserCommand::ReadSecret(m_in, args.Get("password"), "password"))
            : storage->RemoveAdmin(name);
    if (!done) {
        m_err << "qxserver: "
              << (action == "add" ? "administrator " + name + " already exists"
                                  : "no administrator " + name)
              << '\n';
        return 1;
    }
    admins.Audit(kCommandLine, "admin " + action, name);
    return 0;
}

int CQXAdminCommand::RunAudit(const std::vector<std::string>& words) {
    const CQXArguments args(words, {}, {"db", "root"});
    if (!args.Positional().empty())
        throw CQXUsageError("audit takes no words besides --db or --root");
    const auto storage = OpenStorage(CQXUserCommand::DatabasePath(args));
    for (const auto& entry : storage->Audit())
        m_out << CQXReportSummary::UtcTime(entry.time) << '\t' << entry.admin << '\t'
              << entry.action << '\t' << entry.detail << '\n';
    return 0;
}
