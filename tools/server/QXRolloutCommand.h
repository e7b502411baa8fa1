#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "QXStorage.h"

class CQXArguments;

// "qxserver rollout start|set|halt|resume|finish|status": stages a version of an application
// to an audience, run against the same database as the servers (which may be running).
class CQXRolloutCommand {
public:
    CQXRolloutCommand(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    // words: the arguments after "rollout". Returns the exit code: 0 done, 1 refused (the
    // reason on err), 2 for a command line that cannot be understood (CQXUsageError).
    int Run(const std::vector<std::string>& words);

private:
    int Start(const CQXArguments& args, IQXStorage& storage);
    int Change(const std::string& action, const CQXArguments& args, SQXRollout rollout,
               IQXStorage& storage);
    void Status(const SQXRollout& rollout, IQXStorage& storage);
    int Refuse(const std::string& reason);

    std::ostream& m_out;
    std::ostream& m_err;
};
