#include <optional>

#include "app/QXLProcess.h"
#include "platform/System.h"
#include "ui/QXLUserInterface.h"

namespace {

constexpr int kPasswordExpired = -1207;
constexpr int kNextPinRequired = -205;
constexpr int kNextPasscodeRequired = -202;

constexpr unsigned kTextVariableNotFound = 147;
// The system's variable buffer holds 260 characters with the terminating null: a longer value
// does not fit and counts as missing.
constexpr std::size_t kVariableCapacity = 260;

constexpr short kLastAttempt = 2;

} // namespace

// At most two attempts: a refusal leaves a second one, a cancel or a login by environment
// variable none.
int CQXLProcess::LoginUser() {
    m_log.LogProduction(L"/// Begin Login \\\\\\");
    const std::wstring loginVariable = m_fileList.GetUrlParser().LoginVariable();
    short attempts = 0;
    bool success = false;
    do {
        LoginAttempt(loginVariable, attempts, success);
        ++attempts;
    } while (!success && attempts < kLastAttempt);
    m_log.LogProduction(L"\\\\\\ End Login ///");
    SetProgress(0.02);
    return success ? 1 : 0;
}

void CQXLProcess::LoginAttempt(const std::wstring& loginVariable, short& attempts, bool& success) {
    int result = 0;
    if (!loginVariable.empty()) {
        m_log.LogInfo(L"PARAM : LoginVariable is set to %s", loginVariable);
        attempts = kLastAttempt;
        if (!LoginWithVariable(loginVariable, result))
            return;
    } else if (!m_authenDlg.GetLogin().empty() && !m_authenDlg.GetPassword().empty()) {
        result =
            m_fileList.LoginStep(m_authenDlg.GetLogin(), m_authenDlg.GetPassword(), std::nullopt);
    } else if (ShowDialog(m_authenDlg) == kQXIdOk) {
        result =
            m_fileList.LoginStep(m_authenDlg.GetLogin(), m_authenDlg.GetPassword(), std::nullopt);
    } else {
        m_log.LogProduction(L"END : Login cancelled by user");
        attempts = kLastAttempt;
        return;
    }
    success = DispatchLoginResult(result, attempts);
}

bool CQXLProcess::LoginWithVariable(const std::wstring& name, int& result) {
    const std::optional<std::wstring> value = qxplat::Environment(name);
    if (!value || value->empty() || value->size() >= kVariableCapacity) {
        m_log.LogError(L"Environment variable %s is not found", name);
        ShowBox(Text(kTextVariableNotFound) + L" (6)", kQXMbOk | kQXMbIconHand | kQXMbSystemModal,
                QXLBoxOwner::None);
        return false;
    }
    m_log.LogInfo(L"Value of LoginVariable is %s", *value);
    result = m_fileList.LoginStep(*value, std::wstring(), std::nullopt);
    return true;
}

bool CQXLProcess::DispatchLoginResult(int result, short& attempts) {
    switch (result) {
    case 0:
        return true;
    case kPasswordExpired: {
        m_log.LogWarning(L"Login error : password expired");
        if (ShowDialog(m_changePwdDlg) != kQXIdOk) {
            m_log.LogProduction(L"END : Change password cancelled by user");
            attempts = kLastAttempt;
            return false;
        }
        const int changed = m_fileList.ChangePasswordStep(
            m_authenDlg.GetLogin(), m_authenDlg.GetPassword(), m_changePwdDlg.GetNewPassword());
        if (changed == 0)
            return true;
        m_log.LogError(L"Change password error : %d", changed);
        return false;
    }
    case kNextPinRequired:
        m_log.LogInfo(L"Login ACE : next pin required");
        return LoginWithToken(m_newPinDlg, m_newPinDlg.GetNewPin(),
                              L"END : Next pin entry cancelled by user", L"New pin error : %d",
                              attempts);
    case kNextPasscodeRequired:
        m_log.LogInfo(L"Login ACE : next passcode required");
        return LoginWithToken(m_nextPasscodeDlg, m_nextPasscodeDlg.GetNewPasscode(),
                              L"END : Next passcode entry cancelled by user",
                              L"Next passcode error : %d", attempts);
    default:
        m_log.LogError(L"Login error : %d", result);
        if (m_fileList.GetDownloader().GetLastErrorCode() != 0)
            m_exitCode = 1;
        // The next attempt shows the dialog empty.
        m_authenDlg.Clear();
        return false;
    }
}

// token is the dialog's value, read once the dialog has ended.
bool CQXLProcess::LoginWithToken(CQXLCredentialDlg& dialog, const std::wstring& token,
                                 const wchar_t* cancelLine, const wchar_t* errorFormat,
                                 short& attempts) {
    if (ShowDialog(dialog) != kQXIdOk) {
        m_log.LogProduction(cancelLine);
        attempts = kLastAttempt;
        return false;
    }
    const int result =
        m_fileList.LoginStep(m_authenDlg.GetLogin(), token, m_authenDlg.GetPassword());
    if (result == 0)
        return true;
    m_log.LogError(errorFormat, result);
    return false;
}
