#pragma once

#include <string>

#include "ui/QXLProgressWindow.h"

// Where the update warning's release note comes from: the release names it, the update
// fetches it, the system opens it. The launch sequence implements it over its file set.
class IQXLReleaseNoteSource {
public:
    virtual ~IQXLReleaseNoteSource() = default;

    // True when the release names a note.
    virtual bool HasReleaseNote() const = 0;
    // The note's file name, for the log lines.
    virtual std::wstring ReleaseNoteName() const = 0;
    // Fetches the note, moving bar from 0 to range as its bytes come in. True when the copy
    // arrived whole. Runs on the dialog's download thread.
    virtual bool FetchReleaseNote(IQXLProgressBar& bar, int range) = 0;
    // Opens the fetched note with its associated program.
    virtual void OpenReleaseNote() = 0;
};
