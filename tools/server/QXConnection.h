#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <httplib.h>
#include <string>

#include "QXAccessLog.h"
#include "QXChannel.h"
#include "QXConnectionPool.h"

// What one connection may cost the server.
struct SQXConnectionLimits {
    // The request line and header fields, with their line ends (else 431).
    std::size_t headBytes = 16 * 1024;
    // A request body, announced or chunked (else 413).
    std::size_t bodyBytes = 64 * 1024;
    // Waiting for the first byte of a request (also the TLS handshake's limit).
    std::chrono::milliseconds idle{5000};
    // From a request's first byte to its last (else 408).
    std::chrono::milliseconds request{10000};
    // A write of the answer that makes no progress.
    std::chrono::milliseconds stall{10000};
    // Requests on one kept-alive connection.
    std::size_t requestsPerConnection = 1000;
    // Connections open at once; more are refused with 503.
    std::size_t connections = 1000;
};

// Serves the requests of one connection: reads each request whole within the limits, hands it
// to the HTTP library, and ends the connection on a refusal, a deadline, the client's wish or
// the server's stop. Refusals made here are logged like any request.
class CQXConnection {
public:
    // Handles one request read from stream and writes its answer; close asks for
    // "Connection: close". Returns false when the connection must end; sets closed when the
    // client asked to close.
    using Process = std::function<bool(httplib::Stream& stream, bool close, bool& closed)>;

    CQXConnection(CQXChannel& channel, const SQXConnectionLimits& limits, CQXAccessLog& log,
                  const CQXConnectionPool& pool);

    void Serve(const Process& process);
    // Answers a connection over the cap with 503 (when plain: a TLS client gets no text before
    // its handshake) and closes it, without waiting.
    static void RefuseBusy(int fd, bool plain, CQXAccessLog& log);

private:
    // Appends what arrives by the deadline; false at the end of the stream, on an error, at the
    // deadline or when the server stops.
    bool Receive(CQXChannel::Clock::time_point deadline);
    // Answers status with a short text, logs it, and lets the connection end.
    void Refuse(int status, const char* reason);

    CQXChannel& m_channel;
    const SQXConnectionLimits& m_limits;
    CQXAccessLog& m_log;
    const CQXConnectionPool& m_pool;
    std::string m_buffer;
};
