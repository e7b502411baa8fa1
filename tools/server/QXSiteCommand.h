#pragma once

#include <ostream>
#include <string>
#include <vector>

// The site commands: "check", "publish" and "preview". Each takes the words after its name and
// returns the process exit code; a bad command line throws CQXUsageError.
class CQXSiteCommand {
public:
    explicit CQXSiteCommand(std::ostream& out) : m_out(out) {}

    // Every problem of the site, one line each; 0 when there is none (then a summary line).
    int RunCheck(const std::vector<std::string>& words);
    int RunPublish(const std::vector<std::string>& words);
    int RunPreview(const std::vector<std::string>& words);

private:
    std::ostream& m_out;
};
