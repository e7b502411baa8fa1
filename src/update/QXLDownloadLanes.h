#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/HttpTransport.h"

class CQXLDownloadMonitor;
class CQXLFile;
class CQXLFileFetcher;
class CQXLFrameFetch;
class CQXLLog;

// The fetchers of a download that runs on several lanes: lane 0 is the list's own fetcher and
// frame fetch, every other lane has its own, set up like them, so that a file's failure and
// the connection it came over belong to its lane alone.
class CQXLDownloadLanes {
public:
    // fetcher and frames are the list's own; they and log outlive this object.
    CQXLDownloadLanes(std::size_t lanes, CQXLFileFetcher& fetcher, CQXLFrameFetch& frames,
                      CQXLLog& log);
    ~CQXLDownloadLanes();

    CQXLDownloadLanes(const CQXLDownloadLanes&) = delete;
    CQXLDownloadLanes& operator=(const CQXLDownloadLanes&) = delete;

    std::size_t Count() const { return m_lanes.size(); }

    // Fetches file on lane (one file per lane at a time): through a frame when the list offers
    // one, else whole in up to three attempts, each failure logged. True when it arrived.
    // Requests give up once stop is stopped.
    bool Fetch(std::size_t lane, const CQXLFile& file, CQXLDownloadMonitor& monitor,
               std::shared_ptr<const qxplat::HttpStop> stop);
    // Once no lane works any more: the list's own fetcher tells why file failed, as if it had
    // fetched it (its lane fetched nothing after it).
    void HandOverFailure(const CQXLFile& file);

private:
    struct Lane;

    CQXLLog& m_log;
    std::vector<std::unique_ptr<Lane>> m_owned;
    std::vector<std::pair<CQXLFileFetcher*, CQXLFrameFetch*>> m_lanes;
    std::mutex m_failedLock;
    std::map<const CQXLFile*, std::size_t> m_failedOn; // the lane each failed file was on
};
