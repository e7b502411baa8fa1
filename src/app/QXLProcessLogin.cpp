#include <optional>

#include "app/QXLProcess.h"
#include "platform/System.h"
#include "ui/QXLUserInterface.h"

namespace {

constexpr unsigned kTextVariableNotFound = 147;
// The system's variable buffer holds 260 characters with the terminating null: a longer value
// does not fit and counts as missing.
constexpr std::size_t kVariableCapacity = 260;

constexpr int kAttempts = 2;

} // namespace

// At most two attempts: a refusal leaves a second one, a cancel or a login by environment
// variable none.
bool CQXLProcess::LoginUser() {
    m_log.LogProduction(L"/// Begin Login \\\\\\");
    const std::wstring loginVariable = m_configuration.LoginVariable();
    LoginNext next = LoginNext::TryAgain;
    for (int attempt = 0; attempt < kAttempts && next == LoginNext::TryAgain; ++attempt)
        next = LoginAttempt(loginVariable);
    m_log.LogProduction(L"\\\\\\ End Login ///");
    SetProgress(0.02);
    return next == LoginNext::Done;
}

CQXLProcess::LoginNext CQXLProcess::LoginAttempt(const std::wstring& loginVariable) {
    if (!loginVariable.empty()) {
        m_log.LogInfo(L"PARAM : LoginVariable is set to %s", loginVariable);
        const std::optional<SQXLLoginOutcome> outcome = LoginWithVariable(loginVariable);
        if (!outcome)
            return LoginNext::GiveUp;
        // The variable's value does not change: a second attempt would send it again.
        const LoginNext next = DispatchLoginResult(*outcome);
        return next == LoginNext::Done ? next : LoginNext::GiveUp;
    }
    if ((m_authenDlg.GetLogin().empty() || m_authenDlg.GetPassword().empty()) &&
        ShowDialog(m_authenDlg) != kQXIdOk) {
        m_log.LogProduction(L"END : Login cancelled by user");
        return LoginNext::GiveUp;
    }
    return DispatchLoginResult(
        m_server.LoginStep(m_authenDlg.GetLogin(), m_authenDlg.GetPassword(), std::nullopt));
}

std::optional<SQXLLoginOutcome> CQXLProcess::LoginWithVariable(const std::wstring& name) {
    const std::optional<std::wstring> value = qxplat::Environment(name);
    if (!value || value->empty() || value->size() >= kVariableCapacity) {
        m_log.LogError(L"Environment variable %s is not found", name);
        ShowBox(Text(kTextVariableNotFound) + L" (6)", kQXMbOk | kQXMbIconHand | kQXMbSystemModal,
                QXLBoxOwner::None);
        return std::nullopt;
    }
    m_log.LogInfo(L"Value of LoginVariable is %s", *value);
    return m_server.LoginStep(*value, std::wstring(), std::nullopt);
}

CQXLProcess::LoginNext CQXLProcess::DispatchLoginResult(const SQXLLoginOutcome& outcome) {
    switch (outcome.result) {
    case QXLLogin::LoggedIn:
        return LoginNext::Done;
    case QXLLogin::PasswordExpired: {
        m_log.LogWarning(L"Login error : password expired");
        if (ShowDialog(m_changePwdDlg) != kQXIdOk) {
            m_log.LogProduction(L"END : Change password cancelled by user");
            return LoginNext::GiveUp;
        }
        const SQXLLoginOutcome changed = m_server.ChangePasswordStep(
            m_authenDlg.GetLogin(), m_authenDlg.GetPassword(), m_changePwdDlg.GetNewPassword());
        if (changed.IsLoggedIn())
            return LoginNext::Done;
        LogLoginFailure(L"Change password error : %d", changed);
        return LoginNext::TryAgain;
    }
    case QXLLogin::NewPinRequired:
        m_log.LogInfo(L"Login ACE : next pin required");
        return LoginWithToken(
            m_newPinDlg, [this] { return m_newPinDlg.GetNewPin(); },
            L"END : Next pin entry cancelled by user", L"New pin error : %d");
    case QXLLogin::NextPasscodeRequired:
        m_log.LogInfo(L"Login ACE : next passcode required");
        return LoginWithToken(
            m_nextPasscodeDlg, [this] { return m_nextPasscodeDlg.GetNewPasscode(); },
            L"END : Next passcode entry cancelled by user", L"Next passcode error : %d");
    case QXLLogin::Refused:
    case QXLLogin::NotSent:
        break;
    }
    LogLoginFailure(L"Login error : %d", outcome);
    if (m_server.GetLastErrorCode() != 0)
        m_exitCode = 1;
    // The next attempt shows the dialog empty.
    m_authenDlg.Clear();
    return LoginNext::TryAgain;
}

CQXLProcess::LoginNext CQXLProcess::LoginWithToken(CQXLCredentialDlg& dialog,
                                                   const std::function<std::wstring()>& token,
                                                   const wchar_t* cancelLine,
                                                   const wchar_t* errorFormat) {
    if (ShowDialog(dialog) != kQXIdOk) {
        m_log.LogProduction(cancelLine);
        return LoginNext::GiveUp;
    }
    const SQXLLoginOutcome outcome =
        m_server.LoginStep(m_authenDlg.GetLogin(), token(), m_authenDlg.GetPassword());
    if (outcome.IsLoggedIn())
        return LoginNext::Done;
    LogLoginFailure(errorFormat, outcome);
    return LoginNext::TryAgain;
}

void CQXLProcess::LogLoginFailure(const wchar_t* format, const SQXLLoginOutcome& outcome) {
    m_log.LogError(format, outcome.LogCode());
}
