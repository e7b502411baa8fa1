#pragma once

#include "ui/QXLReleaseNoteSource.h"

class CQXLFileList;

// The release note of the file list's current release, fetched into its temp directory.
class CQXLReleaseNote final : public IQXLReleaseNoteSource {
public:
    // fileList outlives this object.
    explicit CQXLReleaseNote(CQXLFileList& fileList) : m_fileList(fileList) {}

    bool HasReleaseNote() const override;
    std::wstring ReleaseNoteName() const override;
    bool FetchReleaseNote(IQXLProgressBar& bar, int range) override;
    void OpenReleaseNote() override;

private:
    CQXLFileList& m_fileList;
};
