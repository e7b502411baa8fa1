#include "app/QXLProcess.h"
#include "base/QXFormat.h"
#include "ui/QXLUserInterface.h"

namespace {

constexpr unsigned kTextExtendSession = 22;
constexpr unsigned kTextGetAppInf = 23;
constexpr unsigned kTextGetAppPrimary = 24;
constexpr unsigned kTextGetAppChecksum = 25;
constexpr unsigned kTextPasswordExpiresSoon = 53;
constexpr unsigned kTextNewPasswordHeading = 54;
constexpr unsigned kTextPasswordChanged = 55;

// The server leaves a day count out as -1.
constexpr int kNoDays = -1;

} // namespace

// After the login: keep-alive, the application information, the password warning, the
// version, the primary application and the file list. A failed request still starts the
// application, only without an update.
int CQXLProcess::RunServerSteps() {
    if (m_progressWindow != nullptr)
        m_progressWindow->Show();
    if (!StartExtendSession())
        return Finish(FinishStart, 0);

    SetStatusText(Text(kTextGetAppInf));
    m_log.LogProduction(L"/// Begin GetAppInf \\\\\\");
    const bool informed = m_server.GetApplicationInfo();
    m_log.LogProduction(L"\\\\\\ End GetAppInf ///");
    SetProgress(0.06);
    if (!informed)
        return Finish(FinishStart, 0);

    WarnPasswordExpiry();
    ChooseVersion();

    SetStatusText(Text(kTextGetAppPrimary));
    m_log.LogProduction(L"/// Begin GetAppPrimary \\\\\\");
    m_server.GetPrimaryApplication();
    m_log.LogProduction(L"\\\\\\ End GetAppPrimary ///");
    SetProgress(0.08);

    const CQXLApplicationInfo& info = m_application.Info();
    if (info.Update == 0) {
        m_log.LogProduction(L"END : no update allowed");
        return Finish(FinishStart, 0);
    }
    m_log.LogProduction(L"PARAM : update is allowed");
    SetStatusText(Text(kTextGetAppChecksum));
    m_log.LogProduction(L"/// Begin GetAppChecksum \\\\\\");
    const bool listed = m_server.GetFileList();
    m_log.LogProduction(L"\\\\\\ End GetAppChecksum ///");
    SetProgress(0.13);
    if (!listed)
        return Finish(FinishStart, 0);

    if (info.UpdateOnExit != 0 && WaitForDelayedUpdate() == 0)
        return 0;
    UpdateFiles();
    return 1;
}

// Also the delayed update's second start, after its new login.
bool CQXLProcess::StartExtendSession() {
    SetStatusText(Text(kTextExtendSession));
    m_log.LogProduction(L"/// Begin ExtendSession \\\\\\");
    const bool started = m_server.StartKeepAlive();
    m_log.LogProduction(L"\\\\\\ End ExtendSession ///");
    SetProgress(0.04);
    return started;
}

// D days before the password must change, W days of warning: asked when D <= W. The run
// goes on whatever the user answers.
void CQXLProcess::WarnPasswordExpiry() {
    const CQXLApplicationInfo& info = m_application.Info();
    const int days = info.DaysBeforeForceChangePasswordValue;
    const int warning = info.DaysBeforeChangePasswordWarning;
    if (days == kNoDays || warning == kNoDays || days > warning)
        return;
    m_log.LogWarning(L"Password expired soon, asking user to change it ...");
    const std::wstring question = QXFormat(Text(kTextPasswordExpiresSoon), days);
    if (ShowBox(question, kQXMbYesNo | kQXMbIconQuestion | kQXMbSystemModal) != kQXIdYes) {
        m_log.LogProduction(L"User does not want to change his password");
        return;
    }
    m_log.LogProduction(L"User wants to change his password, asking for new password ...");
    m_changePwdDlg.SetHeadingTextId(kTextNewPasswordHeading);
    if (ShowDialog(m_changePwdDlg) != kQXIdOk) {
        m_log.LogProduction(L"Change password cancelled by user");
        return;
    }
    const SQXLLoginOutcome changed = m_server.ChangePasswordStep(
        m_authenDlg.GetLogin(), m_authenDlg.GetPassword(), m_changePwdDlg.GetNewPassword());
    if (!changed.IsLoggedIn()) {
        LogLoginFailure(L"Change password error : %d", changed);
        return;
    }
    m_log.LogProduction(L"Change password done");
    ShowBox(Text(kTextPasswordChanged), kQXMbOk | kQXMbSystemModal);
}

// The chosen version goes with every later request; a switched-off choice or a failed list
// keeps the server's default without a word to the user.
void CQXLProcess::ChooseVersion() {
    m_log.LogProduction(L"/// Begin GetAppVersionList \\\\\\");
    if (m_configuration.ChooseVersion() && m_server.GetVersionList()) {
        m_selectVersionDlg.SetVersionList(&m_application.VersionList());
        if (m_services.userInterface != nullptr)
            m_services.userInterface->ShowSelectVersionDialog(m_selectVersionDlg);
        const std::wstring& selection = m_selectVersionDlg.GetSelection();
        if (!selection.empty()) {
            m_application.Info().Version = selection;
            m_server.SetVersionName(selection);
            m_log.LogInfo(L"Selected version : %s", selection);
        } else {
            m_log.LogInfo(L"No selected version, using default");
        }
    }
    m_log.LogProduction(L"\\\\\\ End GetAppVersionList ///");
}
