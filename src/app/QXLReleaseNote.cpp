#include "app/QXLReleaseNote.h"

#include "app/QXLProgramStarter.h"
#include "update/QXLDownloadMonitor.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFileSet.h"

bool CQXLReleaseNote::HasReleaseNote() const { return m_fileSet.ReleaseNoteFile() != nullptr; }

std::wstring CQXLReleaseNote::ReleaseNoteName() const {
    const CQXLFile* note = m_fileSet.ReleaseNoteFile();
    return note != nullptr ? note->FileName() : std::wstring();
}

bool CQXLReleaseNote::FetchReleaseNote(IQXLProgressBar& bar, int range) {
    const CQXLFile* note = m_fileSet.ReleaseNoteFile();
    if (note == nullptr)
        return false;
    CQXLDownloadMonitor monitor;
    monitor.SetWindow(&bar);
    // An empty note would make the scale infinite: its bar simply stays at 0.
    monitor.SetScale(note->FileSize() > 0 ? range / static_cast<double>(note->FileSize()) : 0.0);
    return m_fetcher.GetAppFile(*note, &monitor);
}

void CQXLReleaseNote::OpenReleaseNote() {
    if (const CQXLFile* note = m_fileSet.ReleaseNoteFile())
        m_starter.OpenDocument(note->FilePath() + note->FileName());
}
