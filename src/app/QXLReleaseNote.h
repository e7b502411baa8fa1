#pragma once

#include "ui/QXLReleaseNoteSource.h"

class CQXLFileFetcher;
class CQXLFileSet;
class CQXLProgramStarter;

// The release note of the file set's current release, fetched into the temp directory.
class CQXLReleaseNote final : public IQXLReleaseNoteSource {
public:
    // All outlive this object: fetcher brings the note, starter opens it.
    CQXLReleaseNote(const CQXLFileSet& fileSet, CQXLFileFetcher& fetcher,
                    CQXLProgramStarter& starter)
        : m_fileSet(fileSet), m_fetcher(fetcher), m_starter(starter) {}

    bool HasReleaseNote() const override;
    std::wstring ReleaseNoteName() const override;
    bool FetchReleaseNote(IQXLProgressBar& bar, int range) override;
    void OpenReleaseNote() override;

private:
    const CQXLFileSet& m_fileSet;
    CQXLFileFetcher& m_fetcher;
    CQXLProgramStarter& m_starter;
};
