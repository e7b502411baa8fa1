#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "support/pipe_peer/PipePeer.h"

bool ConnectWithoutWriting(std::chrono::milliseconds timeout) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string path = (runtime != nullptr && runtime[0] == '/'
                                  ? std::string(runtime) + "/qxlauncher"
                                  : std::string(getpwuid(geteuid())->pw_dir) + "/.qxlauncher") +
                             "/qxinstallerpipe";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
        const bool connected =
            connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (connected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}
