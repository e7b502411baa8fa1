#include "update/QXLDownloadLanes.h"

#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "update/QXLFile.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFrameFetch.h"

namespace {

constexpr int kAttempts = 3;
// Every lane's connection, the keep-alive's and a request of the run's own fit at once.
static_assert(kMaxParallelDownloads + 2 <= qxplat::kHttpConnectionsPerServer);

} // namespace

struct CQXLDownloadLanes::Lane {
    Lane(const CQXLFileFetcher& listFetcher, const CQXLFrameFetch& listFrames)
        : fetcher(listFetcher.Sibling()), frames(listFrames.Sibling(*fetcher)) {}

    std::unique_ptr<CQXLFileFetcher> fetcher;
    std::unique_ptr<CQXLFrameFetch> frames;
};

CQXLDownloadLanes::CQXLDownloadLanes(std::size_t lanes, CQXLFileFetcher& fetcher,
                                     CQXLFrameFetch& frames, CQXLLog& log)
    : m_log(log) {
    m_lanes.emplace_back(&fetcher, &frames);
    while (m_lanes.size() < lanes) {
        m_owned.push_back(std::make_unique<Lane>(fetcher, frames));
        m_lanes.emplace_back(m_owned.back()->fetcher.get(), m_owned.back()->frames.get());
    }
}

CQXLDownloadLanes::~CQXLDownloadLanes() = default;

bool CQXLDownloadLanes::Fetch(std::size_t lane, const CQXLFile& file, CQXLDownloadMonitor& monitor,
                              std::shared_ptr<const qxplat::HttpStop> stop) {
    CQXLFileFetcher& fetcher = *m_lanes.at(lane).first;
    fetcher.SetStop(std::move(stop));
    bool arrived = m_lanes[lane].second->Fetch(file, &monitor);
    for (int attempt = 1; attempt <= kAttempts && !arrived; ++attempt) {
        arrived = fetcher.GetAppFile(file, &monitor);
        if (arrived)
            break;
        if (attempt < kAttempts)
            m_log.LogWarning(L"Failed to download %s, retry left : %d", file.FileName(),
                             kAttempts - attempt);
        else
            m_log.LogError(L"Failed to download %s, no retry left", file.FileName());
    }
    // The list's own fetcher serves later requests that nothing stops.
    fetcher.SetStop(nullptr);
    if (!arrived) {
        std::lock_guard<std::mutex> lock(m_failedLock);
        m_failedOn[&file] = lane;
    }
    return arrived;
}

void CQXLDownloadLanes::HandOverFailure(const CQXLFile& file) {
    std::lock_guard<std::mutex> lock(m_failedLock);
    const auto found = m_failedOn.find(&file);
    if (found != m_failedOn.end() && found->second != 0)
        m_lanes[0].first->TakeFailure(*m_lanes[found->second].first);
}
