#include "QXBufferedStream.h"

#include <algorithm>

CQXBufferedStream::CQXBufferedStream(CQXChannel& channel, std::string request,
                                     std::chrono::milliseconds stall)
    : m_channel(channel), m_request(std::move(request)), m_stall(stall) {}

ssize_t CQXBufferedStream::read(char* ptr, size_t size) {
    const std::size_t count = std::min(size, m_request.size() - m_read);
    m_request.copy(ptr, count, m_read);
    m_read += count;
    return static_cast<ssize_t>(count);
}

ssize_t CQXBufferedStream::write(const char* ptr, size_t size) {
    m_writable = m_writable && m_channel.Write(ptr, size, m_stall);
    return m_writable ? static_cast<ssize_t>(size) : -1;
}

void CQXBufferedStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    m_channel.Peer(ip, port);
}

void CQXBufferedStream::get_local_ip_and_port(std::string& ip, int& port) const {
    m_channel.Local(ip, port);
}
