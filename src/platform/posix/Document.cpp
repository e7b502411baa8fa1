#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>

#include "platform/Process.h"
#include "platform/Text.h"

extern char** environ;

namespace qxplat {

namespace {

// The opener's standard streams: none of the launcher's, so that a viewer that outlives the
// launcher holds neither its terminal nor the pipes of whoever started it.
struct DetachedStreams {
    DetachedStreams() {
        posix_spawn_file_actions_init(&actions);
        for (int fd = 0; fd <= 2; ++fd)
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                             fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    ~DetachedStreams() { posix_spawn_file_actions_destroy(&actions); }
    posix_spawn_file_actions_t actions;
};

} // namespace

void OpenDocument(const std::wstring& path) {
    std::string program = "xdg-open";
    std::string file = ToNarrow(path);
    char* argv[] = {program.data(), file.data(), nullptr};
    DetachedStreams streams;
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), &streams.actions, nullptr, argv, environ) != 0)
        return;
    // Nobody waits for the opener, yet it must not stay behind as a zombie: a detached thread
    // reaps it.
    std::thread([child] {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace qxplat
