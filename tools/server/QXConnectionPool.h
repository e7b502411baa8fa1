#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <httplib.h>
#include <mutex>

// The open connections, each served on a thread of its own, up to a cap: a slow or idle client
// holds its own thread only, never one that others wait for.
class CQXConnectionPool {
public:
    explicit CQXConnectionPool(std::size_t maxConnections);
    // Stops and waits for every connection.
    ~CQXConnectionPool();
    CQXConnectionPool(const CQXConnectionPool&) = delete;
    CQXConnectionPool& operator=(const CQXConnectionPool&) = delete;

    // Runs serve on a new thread; false (serve not run) when maxConnections are open already,
    // no thread can be had, or the pool is stopping.
    bool Start(std::function<void()> serve);
    // Readable once Stop() began: connections watch it while they wait for a request.
    int StopFd() const { return m_stopPipe[0]; }
    bool Stopping() const { return m_stopping; }
    // Wakes every waiting connection and waits until all have ended.
    void Stop();

private:
    std::size_t m_max;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::size_t m_open = 0;
    std::atomic<bool> m_stopping{false};
    int m_stopPipe[2] = {-1, -1};
};

// The HTTP library's queue of accepted sockets, run at once on the accepting thread: the server
// hands each socket to its pool there (or refuses it) without delay.
class CQXInlineQueue : public httplib::TaskQueue {
public:
    explicit CQXInlineQueue(CQXConnectionPool& pool) : m_pool(pool) {}
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override { m_pool.Stop(); }

private:
    CQXConnectionPool& m_pool;
};
