#include "QXConnectionPool.h"

#include <fcntl.h>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <unistd.h>

CQXConnectionPool::CQXConnectionPool(std::size_t maxConnections) : m_max(maxConnections) {
    if (pipe2(m_stopPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create a pipe");
}

CQXConnectionPool::~CQXConnectionPool() {
    Stop();
    close(m_stopPipe[0]);
}

bool CQXConnectionPool::Start(std::function<void()> serve) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping || m_open >= m_max)
        return false;
    try {
        std::thread([this, serve = std::move(serve)] {
            serve();
            std::lock_guard<std::mutex> ended(m_mutex);
            --m_open;
            m_ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    ++m_open;
    return true;
}

void CQXConnectionPool::Stop() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_stopping) {
        m_stopping = true;
        // The read end turns readable (end of file) for every poll that watches it.
        close(m_stopPipe[1]);
    }
    m_ended.wait(lock, [this] { return m_open == 0; });
}
