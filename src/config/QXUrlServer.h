#pragma once

#include <atomic>
#include <string>

// One configured server: its URL text split into what a connection needs. Built and split
// once by the configuration reader, then shared (never copied) by the server lists that name
// it; only the reachable flag changes afterwards, from any thread.
class CQXUrlServer {
public:
    CQXUrlServer() = default;
    virtual ~CQXUrlServer() = default;

    CQXUrlServer(const CQXUrlServer&) = delete;
    CQXUrlServer& operator=(const CQXUrlServer&) = delete;

    // Stores text and splits it: "https" (any case) as its first five characters makes the
    // server secure; after "://" come the host, an optional ":port" and the path, which always
    // begins with "/" and keeps any query text. Without "://" or anything after it, host,
    // port and path keep their values. Call before the server is shared.
    void SetUrl(const std::wstring& text);

    const std::wstring& GetUrl() const { return m_url; }
    int IsSecure() const { return m_secure; }
    const std::wstring& GetHost() const { return m_host; }
    // 80, 443 for a secure URL without a port, or the leading digits of the port text (0
    // when there are none).
    int GetPort() const { return m_port; }
    // False when the URL names a port above 65535: no connection can reach it, and cutting it
    // to 16 bits would reach another port.
    bool HasPortInRange() const { return m_port <= kMaxPort; }
    static constexpr int kMaxPort = 65535;
    const std::wstring& GetPath() const { return m_path; }

    // 1 until a failover moves away from the server, 1 again after a success through it.
    int IsReachable() const { return m_reachable.load(); }
    void SetReachable(int reachable) { m_reachable.store(reachable); }

private:
    std::wstring m_url;
    int m_secure = 0;
    std::wstring m_host;
    int m_port = 80;
    std::wstring m_path;
    // One server may stand in two lists, each with its own lock.
    std::atomic<int> m_reachable{1};
};
