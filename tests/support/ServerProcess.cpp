#include "support/ServerProcess.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<char*> Argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Three pipes' worth of plumbing for posix_spawn; closes what the parent does not keep.
struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() {
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
    }
    ~Pipe() {
        CloseRead();
        CloseWrite();
    }
    void CloseRead() {
        if (fds[0] >= 0)
            close(fds[0]);
        fds[0] = -1;
    }
    void CloseWrite() {
        if (fds[1] >= 0)
            close(fds[1]);
        fds[1] = -1;
    }
};

} // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input) {
    Pipe in, out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.fds[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out.fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.fds[1], 2);
    auto argv = Argv(program, args);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + program);
    in.CloseRead();
    out.CloseWrite();
    err.CloseWrite();
    if (!input.empty() && write(in.fds[1], input.data(), input.size()) < 0)
        throw std::runtime_error("cannot write to " + program);
    in.CloseWrite();
    ProcessResult result;
    result.out = ReadAll(out.fds[0]);
    result.err = ReadAll(err.fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = ExitCodeOf(status);
    return result;
}

ServerProcess::ServerProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& errorLog) {
    Pipe out;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    std::vector<std::string> serveArgs = {"serve"};
    serveArgs.insert(serveArgs.end(), args.begin(), args.end());
    auto argv = Argv(program, serveArgs);
    const int spawned =
        posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + program);
    out.CloseWrite();
    char c;
    while (read(out.fds[0], &c, 1) == 1 && c != '\n')
        m_url += c;
    if (m_url.empty())
        Stop(SIGKILL);
}

ServerProcess::~ServerProcess() {
    if (m_pid > 0)
        Stop(SIGKILL);
}

int ServerProcess::Stop(int signal) {
    if (m_pid <= 0)
        return m_exitCode;
    kill(m_pid, signal);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    m_exitCode = ExitCodeOf(status);
    return m_exitCode;
}

std::string ServerProcess::Host() const {
    const auto start = m_url.find("://") + 3;
    return m_url.substr(start, m_url.rfind(':') - start);
}

int ServerProcess::Port() const {
    return std::stoi(m_url.substr(m_url.rfind(':') + 1));
}
