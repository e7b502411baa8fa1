#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

// A program run to its end: exit code and standard output.
struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program with args, feeding input on its standard input, and waits for it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = std::string());

// A qxserver started with "serve" and the given arguments. The constructor returns once the
// server printed its URL line (or ended without one); the destructor kills it by its pid.
// The server's standard error goes to errorLog.
class ServerProcess {
public:
    ServerProcess(const std::string& program, const std::vector<std::string>& args,
                  const std::filesystem::path& errorLog);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // The first line the server printed: "http://127.0.0.1:PORT/base/"; empty if none.
    const std::string& Url() const { return m_url; }
    std::string Host() const;
    int Port() const;
    pid_t Pid() const { return m_pid; }
    // Sends the signal, waits for the end and returns the exit code (-1 if it was killed).
    int Stop(int signal);

private:
    pid_t m_pid = -1;
    int m_exitCode = -1;
    std::string m_url;
};
