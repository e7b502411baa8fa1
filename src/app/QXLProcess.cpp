#include "app/QXLProcess.h"

#include <cmath>
#include <string>

#include "app/QXLBuildInfo.h"
#include "config/QXConfigDump.h"
#include "platform/Files.h"
#include "platform/LanguageTexts.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "update/QXLInstallJournal.h"

namespace {

constexpr int kProgressMaximum = 1000;
constexpr unsigned kTextAlreadyRunning = 7;

constexpr wchar_t kDumpFormat[] = L"Configuration file [%s] content:\n\n"
                                  L"==============================================\n"
                                  L"%s\n"
                                  L"==============================================";

} // namespace

CQXLProcess::CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                         const std::wstring& commandLine)
    : m_progressWindow(progressWindow), m_languageBase(languageBase), m_authenDlg(languageBase),
      m_changePwdDlg(languageBase), m_nextPasscodeDlg(languageBase), m_newPinDlg(languageBase),
      m_selectVersionDlg(languageBase), m_commandLine(commandLine),
      m_programPath(&qxplat::ModulePath) {
    SetServices(SQXLServices());
}

CQXLProcess::CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                         const std::wstring& commandLine, const std::wstring& logDirectory,
                         const std::wstring& programPath)
    : m_progressWindow(progressWindow), m_log(logDirectory), m_languageBase(languageBase),
      m_authenDlg(languageBase), m_changePwdDlg(languageBase), m_nextPasscodeDlg(languageBase),
      m_newPinDlg(languageBase), m_selectVersionDlg(languageBase), m_commandLine(commandLine),
      m_programPath([programPath] { return programPath; }) {
    SetServices(SQXLServices());
}

void CQXLProcess::SetServices(const SQXLServices& services) {
    m_services = services;
    if (m_services.windows == nullptr)
        m_services.windows = &QXLSystemWindowFinder();
    if (m_services.clock == nullptr)
        m_services.clock = &QXLSystemClock();
    if (m_services.restart == nullptr)
        m_services.restart = &QXLSystemRestart();
    m_server.SetUserInterface(m_services.userInterface);
    m_starter.SetClock(m_services.clock);
    SetProgressWindows();
}

int CQXLProcess::RunSequence() {
    m_log.SetTag(L"QXLauncher");
    WriteBanner();
    DumpConfigurationFile(L"QXLauncher.ini", false);
    DumpConfigurationFile(L"QXUrl.net", true);
    m_progressMaximum = kProgressMaximum;
    if (m_progressWindow != nullptr)
        m_progressWindow->SetRange(0, kProgressMaximum);
    SetProgressWindows();
    if (!TakeInstallationDirectory())
        return Finish(FinishAbort, 0);
    if (m_services.windows->WindowOfClassExists(kQXLPrimaryWindowClass)) {
        m_log.LogError(L"END : Qxflux.exe is already running");
        ShowBox(Text(kTextAlreadyRunning), kQXMbOk | kQXMbIconExclamation | kQXMbSystemModal);
        return Finish(FinishAbort, 0);
    }
    for (const std::wstring& url : m_configuration.RefusedUrls())
        m_log.LogError(L"URL refused in qxurl.net : port above 65535 : %s", url);
    if (m_configuration.GetServerList().GetCount() == 0) {
        m_log.LogInfo(L"END : no URL parameter in qxurl.net");
        m_exitCode = 1;
        return Finish(FinishOffline, 0);
    }
    if (!ParseCommandLine() && !LoginUser())
        return Finish(FinishAbort, 0);
    return RunServerSteps();
}

void CQXLProcess::SetProgressWindows() {
    m_installer.SetProgressWindow(m_progressWindow);
    m_downloads.SetProgressWindow(m_progressWindow);
}

void CQXLProcess::SetProgress(double fraction) {
    if (m_progressWindow != nullptr)
        m_progressWindow->SetPosition(
            static_cast<int>(std::ceil(static_cast<double>(m_progressMaximum) * fraction)));
}

void CQXLProcess::SetStatusText(const std::wstring& text) {
    if (m_progressWindow != nullptr)
        m_progressWindow->SetStatusText(text);
}

std::wstring CQXLProcess::Text(unsigned textId) const { return QXLoadText(m_languageBase, textId); }

int CQXLProcess::ShowBox(const std::wstring& text, unsigned flags, QXLBoxOwner owner) {
    if (m_services.userInterface == nullptr)
        return 0;
    return m_services.userInterface->ShowMessageBox(text, Text(kQXTextCaption), flags, owner);
}

int CQXLProcess::ShowDialog(CQXLCredentialDlg& dialog) {
    if (m_services.userInterface == nullptr)
        return kQXIdCancel;
    return m_services.userInterface->ShowCredentialDialog(dialog);
}

// The installation is the program's own folder; taking it also reads qxurl.net from there.
bool CQXLProcess::TakeInstallationDirectory() {
    const std::wstring program = m_programPath();
    const std::size_t cut = program.find_last_of(qxplat::kPathSeparator);
    if (cut == std::wstring::npos) {
        m_log.LogError(L"END : Unable to detect installation path : %d", qxplat::LastError());
        return false;
    }
    m_application.SetInstallationDirectory(program.substr(0, cut + 1));
    // An installer killed in the middle of its work left a journal: settle it before anything
    // looks at the installed files, so that they are wholly the old or wholly the new version.
    RecoverInstallation(m_application.InstallationDirectory(), m_log);
    return true;
}

void CQXLProcess::WriteBanner() {
    m_log.LogProduction(L"-----------------------");
    m_log.LogProduction(L"- QXLauncher starting -");
    m_log.LogProduction(L"-----------------------");
    m_log.LogFileVersion();
    m_log.LogProduction(L"Internal version: %s [%s %s]", kQXInternalVersion, kQXChangeStamp,
                        kQXDateTimeStamp);
}

// The dump looks in the current directory: it records what the user's start folder holds,
// while the settings themselves are read beside the program.
void CQXLProcess::DumpConfigurationFile(const std::wstring& fileName, bool missingIsError) {
    std::wstring content;
    if (QXReadConfigurationDump(fileName, content))
        m_log.LogDebug(kDumpFormat, fileName, content);
    else if (missingIsError)
        m_log.LogError(L"Unable to find configuration file [%s]", fileName);
    else
        m_log.LogDebug(L"Unable to find configuration file [%s]", fileName);
}
