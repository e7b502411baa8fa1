#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/QXUrlServer.h"

// Servers are shared by the lists that name them and live as long as the longest holder.
using QXUrlServerPtr = std::shared_ptr<CQXUrlServer>;

// An ordered list of servers with the failover rule of every request: the first server is the
// current one; a failed request moves it to the end, until each server has been tried once
// since the last success. Any thread may call any operation; each runs under the list's own
// lock (GetCount excepted), so failovers made by one thread count for all. Holders of a
// returned server keep it alive; no lock is held across a request.
class CQXUrlServerList {
public:
    CQXUrlServerList() = default;
    virtual ~CQXUrlServerList() = default;

    CQXUrlServerList(const CQXUrlServerList&) = delete;
    CQXUrlServerList& operator=(const CQXUrlServerList&) = delete;

    // Appends server at the end; a null server is ignored.
    void AddServer(QXUrlServerPtr server);

    // Number of servers, read without the lock.
    int GetCount() const { return m_count.load(); }

    // The first server, or null for an empty list.
    QXUrlServerPtr GetCurrentServer() const;

    // After a failure through the current server: marks it unreachable and moves it to the
    // end. Returns the new current server, or null when every server has now been tried since
    // the last ResetFailover (the count then starts again at 0) or the list is empty.
    QXUrlServerPtr NextServer();
    // After a failure through failed, for callers that fail over the same list side by side:
    // moves on as NextServer does only while failed is still the current server, so that no
    // caller moves past a server that another one has just turned to. Returns the current
    // server (null only for an empty list); the caller counts its own tries.
    QXUrlServerPtr NextServerAfter(const QXUrlServerPtr& failed);

    // After a success: the failover count goes back to 0 and the first server is reachable.
    void ResetFailover();

    // Failover steps since the last reset or the last full round.
    int GetFailoverCount() const;

    // The first server whose URL equals url ignoring case, or null.
    QXUrlServerPtr FindServer(const std::wstring& url) const;

    // The servers in their current order.
    std::vector<QXUrlServerPtr> GetServers() const;

    // True when some server is marked reachable; false for an empty list.
    bool HasReachableServer() const;

private:
    // NextServer's step under the lock: true when every server has now been tried.
    bool MoveOn();

    mutable std::mutex m_lock;
    std::deque<QXUrlServerPtr> m_servers;
    int m_failoverCount = 0;
    std::atomic<int> m_count{0};
};
