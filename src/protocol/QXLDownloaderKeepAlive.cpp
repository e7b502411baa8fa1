#include "config/QXUrlParser.h"
#include "protocol/QXLDownloader.h"
#include "protocol/QXLFormBody.h"

bool CQXLDownloader::StartKeepAlive() {
    if (m_configuration == nullptr || m_configuration->GetServerList().GetCount() == 0) {
        m_log.LogError(L"No URL in qxurl.net");
        return false;
    }
    CQXLFormBody body;
    body.Add(L"sessionid", m_sessionId).Add(L"lang", QXLanguageCode(m_languageBase));
    unsigned long error = 0;
    if (!m_keepAlive.Start(
            {m_configuration, L"ExtendSession", body.Text(), WireCodePage(), m_minimumRateWindowMs},
            error)) {
        m_log.LogError(L"Failed to start ping session thread : %d", static_cast<long long>(error));
        return false;
    }
    return true;
}
