#include "config/QXUrlServerList.h"

#include <algorithm>

#include "base/QXText.h"

void CQXUrlServerList::AddServer(QXUrlServerPtr server) {
    if (!server)
        return;
    std::lock_guard<std::mutex> hold(m_lock);
    m_servers.push_back(std::move(server));
    m_count.store(static_cast<int>(m_servers.size()));
}

QXUrlServerPtr CQXUrlServerList::GetCurrentServer() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_servers.empty() ? nullptr : m_servers.front();
}

bool CQXUrlServerList::MoveOn() {
    QXUrlServerPtr failed = std::move(m_servers.front());
    m_servers.pop_front();
    failed->SetReachable(0);
    m_servers.push_back(std::move(failed));
    if (++m_failoverCount < static_cast<int>(m_servers.size()))
        return false;
    m_failoverCount = 0;
    return true;
}

QXUrlServerPtr CQXUrlServerList::NextServer() {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_servers.empty() || MoveOn())
        return nullptr;
    return m_servers.front();
}

QXUrlServerPtr CQXUrlServerList::NextServerAfter(const QXUrlServerPtr& failed) {
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_servers.empty())
        return nullptr;
    if (m_servers.front() == failed)
        MoveOn();
    return m_servers.front();
}

void CQXUrlServerList::ResetFailover() {
    std::lock_guard<std::mutex> hold(m_lock);
    m_failoverCount = 0;
    if (!m_servers.empty())
        m_servers.front()->SetReachable(1);
}

int CQXUrlServerList::GetFailoverCount() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_failoverCount;
}

QXUrlServerPtr CQXUrlServerList::FindServer(const std::wstring& url) const {
    std::lock_guard<std::mutex> hold(m_lock);
    const auto found =
        std::find_if(m_servers.begin(), m_servers.end(), [&url](const QXUrlServerPtr& server) {
            return QXEqualsNoCase(server->GetUrl(), url);
        });
    return found == m_servers.end() ? nullptr : *found;
}

std::vector<QXUrlServerPtr> CQXUrlServerList::GetServers() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return std::vector<QXUrlServerPtr>(m_servers.begin(), m_servers.end());
}

bool CQXUrlServerList::HasReachableServer() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return std::any_of(m_servers.begin(), m_servers.end(),
                       [](const QXUrlServerPtr& server) { return server->IsReachable() != 0; });
}
