#include <cerrno>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>

#include "platform/Process.h"
#include "platform/Text.h"

extern char** environ;

namespace qxplat {

void OpenDocument(const std::wstring& path) {
    std::string program = "xdg-open";
    std::string file = ToNarrow(path);
    char* argv[] = {program.data(), file.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return;
    // Nobody waits for the opener, yet it must not stay behind as a zombie: a detached thread
    // reaps it.
    std::thread([child] {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace qxplat
