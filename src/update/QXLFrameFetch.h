#pragma once

#include <map>
#include <memory>
#include <string>

#include "log/QXLLog.h"
#include "protocol/QXLFrameOffers.h"
#include "update/QXLBaseBudget.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFrameDecoder.h"

class CQXLDownloadMonitor;
class CQXLDownloader;
class CQXLFile;

// Fetches a listed file through a zstd frame that the list offers instead of whole: a patch
// when the installed copy is exactly the patch's base, else the file packed on its own. The
// result is checked as a whole download is; anything else leaves the file to the whole
// download, with one log line saying why.
class CQXLFrameFetch {
public:
    // fetcher fetches the frames into its download directory; downloader tells whether the
    // list is signed. Both outlive this object.
    CQXLFrameFetch(CQXLLog& log, CQXLFileFetcher& fetcher, CQXLDownloader& downloader);

    // The offers of the current file list (QXLReadFrameOffers).
    void SetOffers(std::map<std::wstring, SQXLFrameOffer> offers) { m_offers = std::move(offers); }
    // A frame fetch with this one's offers that fetches through fetcher, which outlives it.
    std::unique_ptr<CQXLFrameFetch> Sibling(CQXLFileFetcher& fetcher) const;

    // True when file is now in the download directory, rebuilt from a frame; false when the
    // list offers none for it or the frame did not give the file.
    bool Fetch(const CQXLFile& file, CQXLDownloadMonitor* monitor);

private:
    // Reads the installed copy into base when it is the offer's base; false otherwise.
    bool ReadBase(const CQXLFile& file, const SQXLFrameOffer& offer, std::string& base);
    // Downloads and decodes one frame; empty text on success, otherwise why not, with no
    // result left.
    std::wstring Apply(const CQXLFile& file, const SQXLFrame& frame, const SQXLFrameOffer* patchOf,
                       const std::string& base, CQXLDownloadMonitor* monitor);
    // The frame whole into the download directory as part, then decoded once its SHA-256 is
    // checked.
    std::wstring FetchThenDecode(const CQXLFile& part, const SQXLFrame& frame,
                                 const SQXLFrameRequest& request, const std::string& base,
                                 const SQXLFrameTarget& target, CQXLDownloadMonitor* monitor,
                                 std::string& head);
    // The frame decoded into target as it arrives.
    std::wstring FetchDecoding(const CQXLFile& part, SQXLFrameRequest& request,
                               const std::string& base, const SQXLFrameTarget& target,
                               CQXLDownloadMonitor* monitor, std::string& head);

    CQXLLog& m_log;
    CQXLFileFetcher& m_fetcher;
    CQXLDownloader& m_downloader;
    // Shared with the siblings: the installed copies that their patches read into memory.
    std::shared_ptr<CQXLBaseBudget> m_bases;
    std::map<std::wstring, SQXLFrameOffer> m_offers;
};
