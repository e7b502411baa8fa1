#include "QXChannel.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = CQXChannel::Clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60 * 1000));
}

void NameOf(const sockaddr_storage& address, socklen_t length, std::string& host, int& port) {
    char text[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, text, sizeof text, service,
                    sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return;
    host = text;
    port = std::atoi(service);
}

} // namespace

CQXChannel::CQXChannel(int fd, int stopFd) : m_fd(fd), m_stopFd(stopFd) {
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    // Headers and body go out in separate writes: without this, delayed ACKs add 40 ms.
    const int yes = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

CQXChannel::~CQXChannel() {
    if (m_ssl) {
        SSL_shutdown(m_ssl);
        SSL_free(m_ssl);
    }
    close(m_fd);
}

bool CQXChannel::AcceptTls(SSL_CTX* context, std::chrono::milliseconds idle, CQXWorkSlots& slots) {
    m_ssl = SSL_new(context);
    if (!m_ssl || SSL_set_fd(m_ssl, m_fd) != 1)
        return false;
    auto deadline = Clock::now() + idle;
    for (;;) {
        const auto began = Clock::now();
        int done = 0;
        {
            const CQXWorkSlots::CSlot slot(slots);
            done = SSL_accept(m_ssl);
        }
        deadline += Clock::now() - began;
        if (done == 1)
            return true;
        const int error = SSL_get_error(m_ssl, done);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            break;
        if (!Wait(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline, true))
            break;
    }
    // A failed handshake must not send a close_notify later.
    SSL_free(m_ssl);
    m_ssl = nullptr;
    return false;
}

ssize_t CQXChannel::Read(char* buffer, std::size_t size, Clock::time_point deadline) {
    for (;;) {
        short want = POLLIN;
        if (m_ssl) {
            const int got = SSL_read(m_ssl, buffer, static_cast<int>(size));
            if (got > 0)
                return got;
            const int error = SSL_get_error(m_ssl, got);
            if (error == SSL_ERROR_ZERO_RETURN)
                return 0;
            if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
                return -1;
            want = error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
        } else {
            const ssize_t got = recv(m_fd, buffer, size, 0);
            if (got >= 0)
                return got;
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return -1;
        }
        if (!Wait(want, deadline, true))
            return -1;
    }
}

bool CQXChannel::Write(const char* data, std::size_t size, std::chrono::milliseconds stall) {
    while (size > 0) {
        short want = POLLOUT;
        ssize_t sent = -1;
        if (m_ssl) {
            const int done =
                SSL_write(m_ssl, data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
            if (done > 0) {
                sent = done;
            } else {
                const int error = SSL_get_error(m_ssl, done);
                if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
                    return false;
                want = error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
            }
        } else {
            sent = send(m_fd, data, size, MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return false;
        }
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
        } else if (!Wait(want, Clock::now() + stall, false)) {
            return false;
        }
    }
    return true;
}

void CQXChannel::Linger() {
    if (m_ssl) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    shutdown(m_fd, SHUT_WR);
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    char buffer[16 * 1024];
    for (std::size_t drained = 0; drained < 1024 * 1024;) {
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        if (got > 0)
            drained += static_cast<std::size_t>(got);
        else if (got == 0 || (errno != EAGAIN && errno != EINTR) || !Wait(POLLIN, deadline, true))
            return;
    }
}

void CQXChannel::Peer(std::string& address, int& port) const {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (getpeername(m_fd, reinterpret_cast<sockaddr*>(&storage), &length) == 0)
        NameOf(storage, length, address, port);
}

void CQXChannel::Local(std::string& address, int& port) const {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&storage), &length) == 0)
        NameOf(storage, length, address, port);
}

bool CQXChannel::Wait(short events, Clock::time_point deadline, bool watchStop) const {
    for (;;) {
        pollfd fds[2] = {{m_fd, events, 0}, {m_stopFd, POLLIN, 0}};
        const int ready = poll(fds, watchStop ? 2 : 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0) {
            if (Clock::now() >= deadline)
                return false;
            continue;
        }
        if (watchStop && fds[1].revents != 0)
            return false;
        return true;
    }
}
