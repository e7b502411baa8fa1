#pragma once

#include <chrono>
#include <httplib.h>
#include <string>

#include "QXChannel.h"

// The stream the HTTP library reads one request from and writes its answer to: the request
// comes from memory, already read whole and checked; the answer goes out on the channel.
class CQXBufferedStream : public httplib::Stream {
public:
    CQXBufferedStream(CQXChannel& channel, std::string request, std::chrono::milliseconds stall);

    bool is_readable() const override { return m_read < m_request.size(); }
    bool is_writable() const override { return m_writable; }
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_channel.Fd(); }

private:
    CQXChannel& m_channel;
    std::string m_request;
    std::size_t m_read = 0;
    std::chrono::milliseconds m_stall;
    bool m_writable = true;
};
