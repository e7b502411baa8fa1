#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/QXLProgramStarter.h"
#include "base/QXLanguage.h"
#include "log/QXLLog.h"
#include "ui/QXLProgressWindow.h"
#include "update/QXLBatchGenerator.h"
#include "update/QXLFileFetcher.h"
#include "update/QXLFileSet.h"

namespace qxplat {
class InstallerPipeServer;
}

// Hands a downloaded update to the installer: the temp directory, the instruction file, the
// registration for the next logon, and the installer's run with its verdict on the pipe.
class CQXLInstallerHandOff {
public:
    // All outlive this object: fetcher downloads into the temp directory, instructions is the
    // instruction file being collected, starter starts the installer.
    CQXLInstallerHandOff(CQXLLog& log, QXLanguageBase languageBase, CQXLFileSet& fileSet,
                         CQXLBatchGenerator& instructions, CQXLFileFetcher& fetcher,
                         CQXLProgramStarter& starter);

    CQXLInstallerHandOff(const CQXLInstallerHandOff&) = delete;
    CQXLInstallerHandOff& operator=(const CQXLInstallerHandOff&) = delete;

    // The window whose status line tells of a wait for the pipe; null: none. Not owned.
    void SetProgressWindow(IQXLProgressWindow* window) { m_progressWindow = window; }

    // Gives the downloader the installation directory and the temp directory, installation
    // directory + "_QXLTmp", as its download directory, and creates it. 0, with an error line,
    // when it cannot be created and does not exist; else 1.
    int SetTempDirectory();
    const std::wstring& GetTempDirectory() const { return m_fetcher.GetDownloadDirectory(); }

    // Writes the instruction file and, when it was written and a reboot is needed, registers
    // the installer for the next logon. The result of the last step taken.
    int WriteInstallerFiles();

    // Starts the installer: "-SID:" for a self-update (selfUpdate becomes 1, result of the
    // start), otherwise "-QXL" and its verdict on the installer pipe. 1 on success.
    int RunInstaller(int& selfUpdate);
    // For tests only: how long the installer may take to connect to the pipe, and how long
    // another update may hold the pipe before this one gives up.
    void SetInstallerConnectTimeoutForTests(std::chrono::milliseconds timeout) {
        m_installerConnectTimeout = timeout;
    }
    void SetInstallerPipeWaitForTests(std::chrono::milliseconds wait) {
        m_installerPipeWait = wait;
    }

private:
    // Steps of RunInstaller: creates the pipe, waiting while another update holds it;
    // waits for the started installer's verdict on pipe.
    std::optional<qxplat::InstallerPipeServer> CreateInstallerPipe();
    int ReadInstallerVerdict(qxplat::InstallerPipeServer& pipe);

    CQXLLog& m_log;
    QXLanguageBase m_languageBase;
    CQXLFileSet& m_fileSet;
    CQXLBatchGenerator& m_batchGenerator;
    CQXLFileFetcher& m_fetcher;
    CQXLProgramStarter& m_starter;
    IQXLProgressWindow* m_progressWindow = nullptr;
    std::chrono::milliseconds m_installerConnectTimeout{60000};
    std::chrono::milliseconds m_installerPipeWait{std::chrono::minutes(10)};
};
