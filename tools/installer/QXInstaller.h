#pragma once

#include <string>

#include "QXInstallerInstructions.h"
#include "log/QXLLog.h"
#include "update/QXLInstallJournal.h"

// Applies one instruction file to its destination as a single transaction: every name is
// checked and every source found before anything changes; then the files are moved and
// deleted under a journal (see CQXLInstallJournal), components registered, update programs
// run and packages installed, in that order, so that each program finds the new files in
// place. Any failure puts every file back as it was. One instance per installer run.
class CQXInstaller {
public:
    CQXInstaller(CQXLLog& log, CQXLInstallJournal::Checkpoint checkpoint);

    // Settles what a killed run left, then applies the instruction file of the temp folder
    // of programDirectory (with its trailing separator), under the installation's lock.
    // Empty on success; otherwise a short text that names what failed.
    std::wstring Install(const std::wstring& programDirectory);

private:
    std::wstring Check(const CQXInstallerInstructions& instructions) const;
    std::wstring Plan(const CQXInstallerInstructions& instructions, CQXLInstallJournal& journal);
    std::wstring Apply(const CQXInstallerInstructions& instructions);
    std::wstring RunPrograms(const CQXInstallerInstructions& instructions);

    CQXLLog& m_log;
    CQXLInstallJournal::Checkpoint m_checkpoint;
};
