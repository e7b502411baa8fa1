#include "app/QXLUpdateDownloads.h"

#include "platform/LanguageTexts.h"
#include "platform/System.h"

namespace {

constexpr unsigned kTextDownloading = 27;
constexpr int kAttempts = 3;

} // namespace

CQXLUpdateDownloads::CQXLUpdateDownloads(CQXLLog& log, QXLanguageBase languageBase,
                                         CQXLApplicationInfo& applicationInfo, CQXLFileSet& fileSet,
                                         CQXLBatchGenerator& instructions, CQXLFrameFetch& frames,
                                         CQXLFileFetcher& fetcher,
                                         const CQXLProgramStarter& starter)
    : m_log(log), m_languageBase(languageBase), m_applicationInfo(applicationInfo),
      m_fileSet(fileSet), m_batchGenerator(instructions), m_frames(frames), m_fetcher(fetcher),
      m_starter(starter) {}

int CQXLUpdateDownloads::DownloadAll(CQXLDownloadMonitor& monitor) {
    // Archives are never asked for: every file comes on its own.
    m_applicationInfo.ZipEnable = 0;
    int success = 1;
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

    for (const auto& entry : m_fileSet.UpdateList()) {
        if (success == 0)
            break;
        CQXLFile& file = *entry;
        if (file.MarkHandled() == 0)
            continue;
        const std::wstring relativeName = file.RelativeName();
        switch (file.FileMode()) {
        case ModeDelete:
            m_log.LogProduction(L"%s : delete mode, no download needed", file.FileName());
            m_batchGenerator.AddDelete(relativeName);
            break;
        case ModeUpdateUnchanged:
            if (realDownloads)
                AddUpdateEntry(file);
            continue; // the bar does not move for it
        default:
            success = DownloadEntry(file, monitor, downloading);
            break;
        }
        // The bar follows the bytes handled, whether they came or are only to be deleted.
        bytesDone += static_cast<std::uint32_t>(file.FileSize());
        monitor.SetDone(static_cast<int>(bytesDone));
        monitor.Progress(0);
    }
    return success;
}

int CQXLUpdateDownloads::DownloadEntry(CQXLFile& file, CQXLDownloadMonitor& monitor,
                                       const std::wstring& downloading) {
    if (m_progressWindow != nullptr)
        m_progressWindow->SetStatusText(downloading + file.FileName());

    bool arrived = m_frames.Fetch(file, &monitor);
    for (int attempt = 1; attempt <= kAttempts && !arrived; ++attempt) {
        arrived = m_fetcher.GetAppFile(file, &monitor);
        if (arrived)
            break;
        if (attempt < kAttempts)
            m_log.LogWarning(L"Failed to download %s, retry left : %d", file.FileName(),
                             kAttempts - attempt);
        else
            m_log.LogError(L"Failed to download %s, no retry left", file.FileName());
    }

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
