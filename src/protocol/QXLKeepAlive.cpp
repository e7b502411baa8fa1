#include "protocol/QXLKeepAlive.h"

#include <system_error>

#include "config/QXUrlParser.h"
#include "platform/HttpTransport.h"
#include "platform/Text.h"
#include "protocol/QXLSendLoop.h"

namespace {

// One ping to server over transport, given up when abort stops; every failure is dropped
// silently.
void Ping(qxplat::HttpTransport& transport, const SQXLKeepAliveStart& values,
          const CQXUrlServer& server, const std::string& body,
          const std::shared_ptr<qxplat::HttpStop>& abort) {
    const CQXUrlParser& configuration = *values.configuration;
    qxplat::HttpError error;
    auto session = transport.Open(L"QXLauncher", error);
    if (!session)
        return;
    const bool secure = server.IsSecure() != 0;
    auto connection = session->Connect(
        server.GetHost(), static_cast<unsigned short>(server.GetPort()), secure, error);
    if (!connection)
        return;
    auto request = connection->OpenRequest(L"POST", server.GetPath() + values.service, secure,
                                           configuration.GetRequestCertificateFlags() != 0, error);
    if (!request)
        return;
    request->SetTimeouts(kQXLPingTimeoutMs, kQXLPingTimeoutMs);
    request->SetMinimumRate(qxplat::kHttpMinimumBytesPerSecond, values.minimumRateWindowMs);
    request->SetStop(abort);
    request->TrustAuthorities(configuration.SecurityCAFile());
    unsigned long lastError = 0;
    // The system's own dialogs, if any, answer a proxy or certificate question.
    QXLSendWithDialogs(*request, body, configuration.GetSecurityCertificateFlags() != 0, nullptr,
                       lastError);
}

} // namespace

CQXLKeepAlive::~CQXLKeepAlive() {
    // Joined outside the lock, which each thread takes on its way out; the nodes stay put.
    std::list<Thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (Thread& thread : m_threads) {
            thread.abort->Stop();
            thread.stop.Set();
        }
        threads.splice(threads.end(), m_threads);
    }
    for (Thread& thread : threads)
        thread.thread.join();
}

bool CQXLKeepAlive::Start(SQXLKeepAliveStart values, unsigned long& error) {
    std::lock_guard<std::mutex> lock(m_lock);
    JoinEnded();
    Thread& self = m_threads.emplace_back();
    try {
        self.thread = std::thread([this, values = std::move(values), period = m_period, &self] {
            Run(values, period, self);
        });
    } catch (const std::system_error& failure) {
        m_threads.pop_back();
        error = static_cast<unsigned long>(failure.code().value());
        return false;
    }
    return true;
}

void CQXLKeepAlive::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    for (Thread& thread : m_threads) {
        thread.abort->Stop();
        thread.stop.Set();
    }
}

int CQXLKeepAlive::RunningCount() {
    std::lock_guard<std::mutex> lock(m_lock);
    int running = 0;
    for (const Thread& thread : m_threads)
        running += thread.ended ? 0 : 1;
    return running;
}

void CQXLKeepAlive::Run(const SQXLKeepAliveStart& values, std::chrono::milliseconds period,
                        Thread& self) {
    const std::string body = qxplat::ToCodePage(values.parameters, values.codePage);
    CQXUrlServerList& servers = values.configuration->GetServerList();
    do {
        // Whatever server the main sequence's requests left first.
        if (const QXUrlServerPtr server = servers.GetCurrentServer())
            Ping(m_transport, values, *server, body, self.abort);
    } while (!self.stop.WaitFor(period));

    std::lock_guard<std::mutex> lock(m_lock);
    self.ended = true;
}

void CQXLKeepAlive::JoinEnded() {
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        if (!it->ended) {
            ++it;
            continue;
        }
        it->thread.join();
        it = m_threads.erase(it);
    }
}
