#pragma once

#include <string>
#include <vector>

// "qxserver serve": checks the site, opens the database, listens, prints the URL it serves as
// the first line of standard output, and answers until SIGINT or SIGTERM.
class CQXServeCommand {
public:
    // words: the arguments after "serve". Returns the process exit code.
    int Run(const std::vector<std::string>& words);
};
