#include <cmath>

#include "app/QXLProcess.h"
#include "app/QXLReleaseNote.h"
#include "base/QXFormat.h"
#include "ui/QXLProgressWindow.h"
#include "ui/QXLUserInterface.h"
#include "ui/QXLWarnUpdateDlg.h"

namespace {

// The bar: the locked-file check ends at 23 %, the downloads fill it up to 96 %.
constexpr int kProgressRange = 1000;
constexpr double kLockedFilesDone = 0.23;
constexpr double kDownloadsShare = 0.73;
constexpr double kDownloadsDone = 0.96;

enum UpdateText : unsigned {
    kTextDownloadError = 8,
    kTextUpdateNotice = 9,
    kTextUpdateQuestion = 10,
    kTextRebootNotice = 11,
    kTextRebootQuestion = 12,
    kTextRebootFailed = 13,
    kTextInstallFailed = 14,
    kTextLockedFiles = 26,
    kTextDownloadFiles = 28,
    kTextDownloadDone = 29,
    kTextExpiredNotice = 45,
    kTextForcedLaterQuestion = 46,
    kTextNoFileServer = 56,
};

// Every box of the update is system modal; only the error boxes carry an icon.
constexpr unsigned kNoticeBox = kQXMbOk | kQXMbSystemModal;
constexpr unsigned kQuestionBox = kQXMbYesNo | kQXMbSystemModal;
constexpr unsigned kErrorBox = kQXMbOk | kQXMbIconHand | kQXMbSystemModal;

} // namespace

int CQXLProcess::UpdateFiles() {
    m_installer.SetTempDirectory();
    if (m_application.CountFilesToUpdate() == 0) {
        m_log.LogProduction(L"EXIT : no update needed");
        return Finish(FinishStart, 0);
    }
    if (!m_configuration.HasReachableDownloadServer()) {
        m_log.LogProduction(L"EXIT : unable to update, no file server is up");
        const bool goOn = ShowBox(Text(kTextNoFileServer), kQuestionBox) == kQXIdYes;
        return Finish(goOn ? FinishStart : FinishLogout, 0);
    }
    m_log.LogProduction(L"%Id file(s) needed to be updated", m_application.CountFilesToUpdate());
    if (!UserWantsUpdate()) {
        m_log.LogProduction(L"END : user doesn't want to update");
        return Finish(FinishStart, 0);
    }
    const CQXLApplicationInfo& info = m_application.Info();
    m_updateReport.Begin(info.UpdateReports != 0, info.Version);

    SetStatusText(Text(kTextLockedFiles));
    m_log.LogProduction(L"/// Begin check locked files \\\\\\");
    m_application.CheckLockedFiles();
    if (m_application.RebootNeeded() == 0)
        m_log.LogProduction(L"No locked file found");
    m_log.LogProduction(L"\\\\\\ End check locked files ///");
    SetProgress(kLockedFilesDone);

    if (!DownloadUpdate()) {
        m_updateReport.FetchFailed(m_server.GetFetcher());
        m_log.LogError(L"END : failed to update : download error");
        ShowBox(Text(kTextDownloadError) + L" (3)", kErrorBox);
        return Finish(FinishStart, 0);
    }
    // Without its instructions (or its entry for the next logon) the installer would apply
    // nothing, or an earlier run's list. Nothing installed has changed yet: the update ends as
    // a failed download does, and the installed version starts.
    if (m_installer.WriteInstallerFiles() == 0) {
        m_updateReport.Failed(CQXLUpdateReport::Stage::Install, m_log.LastError());
        m_log.LogError(L"END : failed to update : the installer's instructions cannot be written");
        ShowBox(Text(kTextDownloadError) + L" (3)", kErrorBox);
        return Finish(FinishStart, 0);
    }
    if (m_application.RebootNeeded() != 0)
        return RestartToCompleteUpdate();
    return InstallUpdate();
}

int CQXLProcess::Reboot() { return m_services.restart->Restart() ? 1 : 0; }

// Forced updates only inform (or not even that); others ask, with the days left if any.
bool CQXLProcess::UserWantsUpdate() {
    const CQXLApplicationInfo& info = m_application.Info();
    const int days = info.DaysBeforeForceUpdateValue;
    if (days == 0 || info.ForceUpdate != 0) {
        if (days == 0)
            m_log.LogProduction(L"PARAM : update is forced because version has expired");
        else
            m_log.LogProduction(L"PARAM : update is forced because of application settings");
        const unsigned text = days == 0 ? kTextExpiredNotice : kTextUpdateNotice;
        if (info.WarningForceUpdate != 0)
            ShowWarnUpdate(false, QXFormat(Text(text), info.ApplicationLabel));
        else
            m_log.LogInfo(L"PARAM : no force update warning");
        return true;
    }
    std::wstring question;
    if (days == -1) {
        m_log.LogProduction(L"PARAM : update is not forced, asking user ...");
        question = QXFormat(Text(kTextUpdateQuestion), info.ApplicationLabel);
    } else {
        m_log.LogProduction(L"PARAM : update is not forced before %d days, asking user ...", days);
        question = QXFormat(Text(kTextForcedLaterQuestion), info.ApplicationLabel, days);
    }
    if (ShowWarnUpdate(true, question) != kQXIdYes)
        return false;
    m_log.LogProduction(L"User wants to update");
    return true;
}

int CQXLProcess::ShowWarnUpdate(bool question, const std::wstring& text) {
    CQXLReleaseNote note(m_application.Files(), m_server.GetFetcher(), m_starter);
    CQXLWarnUpdateDlg dialog(question, text, m_languageBase, m_log);
    dialog.SetReleaseNoteSource(&note);
    if (m_services.userInterface == nullptr)
        return 0;
    return m_services.userInterface->ShowWarnUpdateDialog(dialog);
}

bool CQXLProcess::DownloadUpdate() {
    const std::int64_t total = m_application.TotalUpdateBytes();
    m_downloadMonitor.SetWindow(m_progressWindow);
    m_downloadMonitor.SetBase(static_cast<int>(std::ceil(kProgressRange * kLockedFilesDone)));
    // Without bytes to fetch the bar stays where it is.
    m_downloadMonitor.SetScale(total > 0 ? kProgressRange * kDownloadsShare / total : 0.0);
    m_downloadMonitor.SetDone(0);

    SetStatusText(Text(kTextDownloadFiles));
    m_log.LogProduction(L"/// Begin download all \\\\\\");
    const int downloaded = m_downloads.DownloadAll(m_downloadMonitor);
    m_log.LogProduction(L"\\\\\\ End download all ///");
    SetProgress(kDownloadsDone);
    return downloaded != 0;
}

// The installer runs at the next logon; the restart is announced or asked for.
int CQXLProcess::RestartToCompleteUpdate() {
    m_log.LogProduction(L"Reboot is needed to complete update");
    if (m_application.Info().ForceReboot != 0) {
        m_log.LogProduction(L"PARAM : reboot is forced");
        ShowBox(Text(kTextRebootNotice), kNoticeBox);
    } else {
        m_log.LogProduction(L"PARAM : reboot is not forced, asking user ...");
        if (ShowBox(Text(kTextRebootQuestion), kQuestionBox) != kQXIdYes) {
            m_log.LogProduction(L"EXIT : User doesn't want to reboot");
            return Finish(FinishStart, 0);
        }
        m_log.LogProduction(L"EXIT : User want to reboot");
    }
    LogoutBlock();
    Finish(FinishReboot, 0);
    if (Reboot() == 0) {
        m_log.LogError(L"Unable to reboot the system");
        ShowBox(Text(kTextRebootFailed) + L" (4)", kErrorBox);
    }
    return 1;
}

int CQXLProcess::InstallUpdate() {
    SetStatusText(Text(kTextDownloadDone));
    m_log.LogProduction(L"Reboot is not needed to complete update");
    int selfUpdate = 0;
    m_log.LogProduction(L"/// Begin QXInstaller \\\\\\");
    const int installed = m_installer.RunInstaller(selfUpdate);
    m_log.LogProduction(L"\\\\\\ End QXInstaller ///");
    if (installed != 0) {
        m_log.LogProduction(L"/// Begin AppUpdateDone \\\\\\");
        m_updateReport.Done();
        m_log.LogProduction(L"\\\\\\ End AppUpdateDone ///");
    } else {
        m_updateReport.Failed(CQXLUpdateReport::Stage::Install, m_log.LastError());
    }
    // The new launcher was handed the session: this one leaves it open.
    if (selfUpdate != 0)
        return Finish(FinishAbort, 0);
    if (m_application.Info().UpdateOnExit != 0) {
        LogoutBlock();
        return Finish(FinishAbort, 0);
    }
    if (installed != 0)
        return Finish(FinishStart, 0);
    return EndFailedInstallation();
}

int CQXLProcess::EndFailedInstallation() {
    ShowBox(Text(kTextInstallFailed) + L" (5)", kErrorBox);
    LogoutBlock();
    return Finish(FinishAbort, 0);
}

void CQXLProcess::LogoutBlock() {
    m_log.LogProduction(L"/// Begin Logout \\\\\\");
    m_server.Logout();
    m_log.LogProduction(L"\\\\\\ End Logout ///");
}
