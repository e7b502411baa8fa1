#pragma once

#include <httplib.h>
#include <sys/socket.h>
#include <thread>
#include <type_traits>
#include <utility>

#include "QXAccessLog.h"
#include "QXChannel.h"
#include "QXConnection.h"
#include "QXConnectionPool.h"

// The HTTP library's server (Base: httplib::Server, or httplib::SSLServer for HTTPS) with the
// connections taken out of its hands: each accepted socket gets a thread of the pool (or a
// 503 when the pool is full), and CQXConnection reads its requests whole, within the limits,
// before the library routes and answers them. The library alone reads without bounds: it
// gives no request a deadline, counts no header lines and lets chunked bodies grow.
template <class Base>
class CQXGuardedServer : public Base {
public:
    template <class... Args>
    CQXGuardedServer(const SQXConnectionLimits& limits, CQXAccessLog& log, Args&&... args)
        : Base(std::forward<Args>(args)...), m_limits(limits), m_log(log),
          m_pool(limits.connections) {
        // Asked for once listening begins: the socket is bound then, and its backlog (5 in
        // the library) can grow so that a burst of connections does not wait for SYN retries.
        this->new_task_queue = [this] {
            ::listen(this->svr_sock_, SOMAXCONN);
            return new CQXInlineQueue(m_pool);
        };
    }

private:
    bool process_and_close_socket(socket_t sock) override {
        if (m_pool.Start([this, sock] { Serve(sock); }))
            return true;
        CQXConnection::RefuseBusy(sock, !std::is_base_of_v<httplib::SSLServer, Base>, m_log);
        return false;
    }

    void Serve(socket_t sock) {
        CQXChannel channel(sock, m_pool.StopFd());
        if constexpr (std::is_base_of_v<httplib::SSLServer, Base>) {
            if (!channel.AcceptTls(this->ssl_context(), m_limits.idle, m_handshakes))
                return;
        }
        CQXConnection(channel, m_limits, m_log, m_pool)
            .Serve([this](httplib::Stream& stream, bool close, bool& closed) {
                return this->process_request(stream, close, closed, nullptr);
            });
    }

    SQXConnectionLimits m_limits;
    CQXAccessLog& m_log;
    // One handshake's key work per core at a time; outlives the connections' threads.
    CQXWorkSlots m_handshakes{std::thread::hardware_concurrency()};
    CQXConnectionPool m_pool;
};
