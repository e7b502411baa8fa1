#include "app/QXLUpdateDownloads.h"

#include "platform/LanguageTexts.h"
#include "platform/System.h"
#include "update/QXLDownloadLanes.h"
#include "update/QXLDownloadQueue.h"

namespace {

constexpr unsigned kTextDownloading = 27;

} // namespace

CQXLUpdateDownloads::CQXLUpdateDownloads(CQXLLog& log, QXLanguageBase languageBase,
                                         CQXUrlParser& configuration,
                                         CQXLApplicationInfo& applicationInfo, CQXLFileSet& fileSet,
                                         CQXLBatchGenerator& instructions, CQXLFrameFetch& frames,
                                         CQXLFileFetcher& fetcher,
                                         const CQXLProgramStarter& starter)
    : m_log(log), m_languageBase(languageBase), m_configuration(configuration),
      m_applicationInfo(applicationInfo), m_fileSet(fileSet), m_batchGenerator(instructions),
      m_frames(frames), m_fetcher(fetcher), m_starter(starter) {}

int CQXLUpdateDownloads::DownloadAll(CQXLDownloadMonitor& monitor) {
    // Archives are never asked for: every file comes on its own.
    m_applicationInfo.ZipEnable = 0;
    std::uint32_t bytesDone = 0;
    const std::wstring downloading = QXLoadText(m_languageBase, kTextDownloading);

    // Dst before Src: the installer reads the Config section in that order.
    const std::wstring& installation = m_fileSet.InstallationDirectory();
    m_batchGenerator.AddDst(installation);
    m_batchGenerator.AddSrc(installation + L"_QXLTmp" + qxplat::kPathSeparator);

    // A current update-mode file is run again only when something really arrives with it.
    const auto downloads = static_cast<long long>(m_fileSet.UpdateList().size()) -
                           m_fileSet.DeleteCount() - m_fileSet.UnchangedUpdateCount();
    const bool realDownloads = downloads > 0;

    // Files come side by side; what is logged and recorded for each keeps the list's order.
    CQXLDownloadLanes lanes(static_cast<std::size_t>(m_configuration.ParallelDownloads()),
                            m_fetcher, m_frames, m_log);
    CQXLDownloadQueue queue(lanes.Count(), m_log, monitor);
    const CQXLFile* failed = nullptr;
    for (const auto& entry : m_fileSet.UpdateList()) {
        if (queue.Ended())
            break;
        CQXLFile& file = *entry;
        // Marked when recorded: entries after a file that failed stay unhandled.
        if (file.Handled() != 0)
            continue;
        // The bar follows the bytes handled, whether they came or are only to be deleted.
        const auto advance = [&queue, &bytesDone, &file] {
            bytesDone += static_cast<std::uint32_t>(file.FileSize());
            queue.Advance(bytesDone);
        };
        switch (file.FileMode()) {
        case ModeDelete:
            queue.Add(nullptr, [this, &file, advance](bool) {
                file.MarkHandled();
                m_log.LogProduction(L"%s : delete mode, no download needed", file.FileName());
                m_batchGenerator.AddDelete(file.RelativeName());
                advance();
                return true;
            });
            break;
        case ModeUpdateUnchanged:
            // The bar does not move for it.
            queue.Add(nullptr, [this, &file, realDownloads](bool) {
                file.MarkHandled();
                if (realDownloads)
                    AddUpdateEntry(file);
                return true;
            });
            break;
        default:
            queue.Add(
                [this, &queue, &lanes, &file,
                 &downloading](std::size_t lane, CQXLDownloadMonitor& laneMonitor,
                               std::shared_ptr<const qxplat::HttpStop> stop) {
                    queue.ShowStatus(m_progressWindow, downloading + file.FileName());
                    return lanes.Fetch(lane, file, laneMonitor, std::move(stop));
                },
                [this, &file, &failed, advance](bool arrived) {
                    file.MarkHandled();
                    const int recorded = DownloadEntry(file, arrived);
                    advance();
                    failed = arrived ? nullptr : &file;
                    return recorded != 0;
                });
            break;
        }
    }
    if (queue.Finish())
        return 1;
    // The update's failure report asks the list's own fetcher why the file failed.
    if (failed != nullptr)
        lanes.HandOverFailure(*failed);
    return 0;
}

int CQXLUpdateDownloads::DownloadEntry(CQXLFile& file, bool arrived) {
    const std::wstring relativeName = file.RelativeName();
    if (arrived && QXLIsInstallerFile(file.FileName())) {
        // The installer already lies in the installation directory; it moves nothing of its own.
        m_log.LogProduction(L"%s downloaded in installation directory", file.FileName());
    } else if (arrived) {
        m_log.LogProduction(L"%s downloaded", file.FileName());
        m_batchGenerator.AddMove(relativeName);
        if (file.FileMode() == ModeInstall)
            m_batchGenerator.AddInstall(relativeName);
        else if (file.FileMode() == ModeUpdate)
            AddUpdateEntry(file);
    }
    if (file.IsActiveX() != 0)
        m_batchGenerator.AddRegister(relativeName);
    return arrived ? 1 : 0;
}

void CQXLUpdateDownloads::AddUpdateEntry(const CQXLFile& file) {
    std::wstring parameters = file.Parameters();
    m_starter.ExpandPlaceholders(parameters);
    m_batchGenerator.AddUpdate(file.RelativeName(), parameters);
}
