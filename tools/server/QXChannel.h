#pragma once

#include <chrono>
#include <cstddef>
#include <openssl/ssl.h>
#include <string>
#include <sys/types.h>

#include "QXWorkSlots.h"

// One accepted connection's bytes, plain or TLS, over a non-blocking socket that it owns. Every
// wait has an end: reads end at a deadline or when the stop descriptor turns readable (the
// server is stopping); writes end when a piece makes no progress for a while.
class CQXChannel {
public:
    using Clock = std::chrono::steady_clock;

    // Takes fd; stopFd is watched by every read.
    CQXChannel(int fd, int stopFd);
    ~CQXChannel();
    CQXChannel(const CQXChannel&) = delete;
    CQXChannel& operator=(const CQXChannel&) = delete;

    // The TLS handshake; false when it failed or the client let idle pass without a message
    // the handshake needs. The server's own work runs in one of slots and does not count as
    // the client's time: a burst of handshakes on a busy machine is served, not cut.
    bool AcceptTls(SSL_CTX* context, std::chrono::milliseconds idle, CQXWorkSlots& slots);
    // Up to size bytes: the count, 0 at the end of the stream, -1 on an error, at the deadline
    // or when stopping.
    ssize_t Read(char* buffer, std::size_t size, Clock::time_point deadline);
    // Sends every byte; false on an error or when a piece waited longer than stall.
    bool Write(const char* data, std::size_t size, std::chrono::milliseconds stall);
    // Half-closes the sending side and drains what the client still sends, for a short while,
    // so that an answer written before closing is not lost to a reset.
    void Linger();

    int Fd() const { return m_fd; }
    // The peer's and the local numeric address and port.
    void Peer(std::string& address, int& port) const;
    void Local(std::string& address, int& port) const;

private:
    // Waits for events on the socket (and the stop descriptor when watchStop); false at the
    // deadline, on stop or on an error.
    bool Wait(short events, Clock::time_point deadline, bool watchStop) const;

    int m_fd;
    int m_stopFd;
    SSL* m_ssl = nullptr;
};
