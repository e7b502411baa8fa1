#include "QXConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include "QXBufferedStream.h"
#include "QXRequestReader.h"

namespace {

using Clock = CQXChannel::Clock;
using EState = CQXRequestReader::EState;

constexpr std::size_t kReceiveBlock = 16 * 1024;

} // namespace

CQXConnection::CQXConnection(CQXChannel& channel, const SQXConnectionLimits& limits,
                             CQXAccessLog& log, const CQXConnectionPool& pool)
    : m_channel(channel), m_limits(limits), m_log(log), m_pool(pool) {}

void CQXConnection::Serve(const Process& process) {
    for (std::size_t served = 0; !m_pool.Stopping(); ++served) {
        if (m_buffer.empty() && !Receive(Clock::now() + m_limits.idle))
            return;
        const auto deadline = Clock::now() + m_limits.request;
        CQXRequestReader reader(m_limits.headBytes, m_limits.bodyBytes);
        EState state = reader.Scan(m_buffer);
        while (state == EState::NeedMore) {
            if (reader.TakeContinue() &&
                !m_channel.Write("HTTP/1.1 100 Continue\r\n\r\n", 25, m_limits.stall))
                return;
            if (!Receive(deadline)) {
                if (Clock::now() >= deadline)
                    Refuse(408, "Request Timeout");
                return;
            }
            state = reader.Scan(m_buffer);
        }
        switch (state) {
        case EState::HeadTooLarge:
            return Refuse(431, "Request Header Fields Too Large");
        case EState::BodyTooLarge:
            return Refuse(413, "Payload Too Large");
        case EState::Bad:
            return Refuse(400, "Bad Request");
        default:
            break;
        }
        CQXBufferedStream stream(m_channel, reader.Request(), m_limits.stall);
        m_buffer.erase(0, reader.Consumed());
        const bool close = served + 1 >= m_limits.requestsPerConnection || m_pool.Stopping();
        bool closed = false;
        if (!process(stream, close, closed) || close || closed)
            return;
    }
}

bool CQXConnection::Receive(Clock::time_point deadline) {
    const std::size_t had = m_buffer.size();
    m_buffer.resize(had + kReceiveBlock);
    const ssize_t got = m_channel.Read(&m_buffer[had], kReceiveBlock, deadline);
    m_buffer.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
    return got > 0;
}

void CQXConnection::Refuse(int status, const char* reason) {
    const std::string body = std::string(reason) + "\n";
    const std::string answer =
        "HTTP/1.1 " + std::to_string(status) + ' ' + reason +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    SQXAccessEntry entry;
    int port = 0;
    m_channel.Peer(entry.address, port);
    CQXRequestReader::RequestLine(m_buffer, entry.method, entry.path);
    entry.status = status;
    entry.size = body.size();
    m_log.Write(entry);
    if (m_channel.Write(answer.data(), answer.size(), m_limits.stall))
        m_channel.Linger();
}

void CQXConnection::RefuseBusy(int fd, bool plain, CQXAccessLog& log) {
    const std::string body = "Service Unavailable\n";
    const std::string answer = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\n"
                               "Content-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    if (plain)
        send(fd, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    SQXAccessEntry entry;
    {
        CQXChannel channel(fd, -1);
        int port = 0;
        channel.Peer(entry.address, port);
    }
    entry.status = 503;
    entry.size = plain ? body.size() : 0;
    log.Write(entry);
}
