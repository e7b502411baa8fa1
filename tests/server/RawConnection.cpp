#include "server/RawConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int Left(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

} // namespace

RawConnection::RawConnection(int port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected =
        m_fd >= 0 && connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (m_connected)
        fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
}

RawConnection::~RawConnection() {
    if (m_fd >= 0)
        close(m_fd);
}

bool RawConnection::Send(const std::string& bytes) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN)
            return false;
        pollfd fd{m_fd, POLLOUT, 0};
        if (poll(&fd, 1, Left(end)) <= 0)
            return false;
    }
    return true;
}

std::size_t RawConnection::Flood(const std::string& prefix, const std::string& repeated,
                                 std::size_t limit) {
    if (!Send(prefix))
        return 0;
    std::size_t total = prefix.size();
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (total < limit && Clock::now() < end) {
        pollfd fd{m_fd, POLLIN | POLLOUT, 0};
        if (poll(&fd, 1, Left(end)) <= 0 || (fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            break;
        const ssize_t sent = send(m_fd, repeated.data(), repeated.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN)
            break;
        total += sent > 0 ? static_cast<std::size_t>(sent) : 0;
    }
    return total;
}

std::string RawConnection::Receive(std::chrono::milliseconds wait) {
    const auto end = Clock::now() + wait;
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            received.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0 || errno != EAGAIN)
            return received;
        pollfd fd{m_fd, POLLIN, 0};
        if (poll(&fd, 1, Left(end)) <= 0)
            return received;
    }
}

bool RawConnection::ClosedWithin(std::chrono::milliseconds wait) {
    const auto end = Clock::now() + wait;
    char buffer[4096];
    for (;;) {
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN))
            return true;
        pollfd fd{m_fd, POLLIN, 0};
        if (got < 0 && poll(&fd, 1, Left(end)) <= 0)
            return false;
    }
}

bool RaiseDescriptorLimit(std::size_t count) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur < count) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, count);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur >= count;
}

long ResidentKiB(int pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return 0;
}
