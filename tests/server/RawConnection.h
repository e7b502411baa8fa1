#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// A TCP connection to 127.0.0.1 for what an HTTP client does not send: endless heads and
// bodies, bytes trickled one line at a time, or nothing at all. Non-blocking; every wait is
// bounded.
class RawConnection {
public:
    explicit RawConnection(int port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool Connected() const { return m_connected; }
    // Sends bytes, waiting at most 5 s; false when the server closed or reset the connection.
    bool Send(const std::string& bytes);
    // Sends prefix, then repeated over and over until the server answers or closes, limit
    // bytes have gone out or 30 s have passed. Returns the bytes sent.
    std::size_t Flood(const std::string& prefix, const std::string& repeated, std::size_t limit);
    // What arrives until the server closes the connection or wait has passed.
    std::string Receive(std::chrono::milliseconds wait);
    // True when the server closed the connection within wait.
    bool ClosedWithin(std::chrono::milliseconds wait);

private:
    int m_fd = -1;
    bool m_connected = false;
};

// Raises this process's soft limit of open descriptors to at least count (tests that hold
// hundreds of connections); false when the hard limit is lower.
bool RaiseDescriptorLimit(std::size_t count);
// The resident memory of a process in KiB (0 if unknown).
long ResidentKiB(int pid);
