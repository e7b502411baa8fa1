#include <chrono>

#include "app/QXLProcess.h"
#include "base/QXFormat.h"
#include "ui/QXLProgressWindow.h"

namespace {

constexpr unsigned kTextStarting = 30;
constexpr unsigned kTextDelayedUpdate = 52;
constexpr std::chrono::milliseconds kWindowPollInterval{1000};
constexpr std::chrono::milliseconds kStopPollInterval{5000};

} // namespace

int CQXLProcess::Finish(int mode, int keepWindow) {
    const CQXLApplicationInfo& info = m_application.Info();
    const std::wstring label = info.ApplicationLabel.empty() ? L"..." : info.ApplicationLabel;
    const std::wstring startText = QXFormat(Text(kTextStarting), label);
    // An application updated on exit has already run: every later end only logs out.
    if (info.UpdateOnExit != 0 && keepWindow == 0)
        mode = FinishLogout;
    SetProgress(1.0);

    switch (mode) {
    case FinishOffline:
        SetStatusText(startText);
        if (m_starter.StartPrimaryApplication(L"-b") == 0) {
            LogoutBlock();
            m_log.LogError(L"EXIT : failed to launch primary application");
        } else {
            WaitForPrimaryWindow(false);
        }
        break;
    case FinishStart:
        SetStatusText(startText);
        if (m_starter.StartPrimaryApplication(std::wstring()) == 0) {
            LogoutBlock();
            m_log.LogError(L"EXIT : failed to launch primary application");
            break;
        }
        if (m_starter.HasCustomPrimary() == 0)
            WaitForPrimaryWindow(true);
        m_starter.StartLaunchList();
        break;
    case FinishLogout:
        LogoutBlock();
        m_log.LogProduction(L"EXIT : logout after a delayed update");
        break;
    default:
        break;
    }

    m_server.StopKeepAlive();
    if (keepWindow == 0 && m_progressWindow != nullptr)
        m_progressWindow->Close();
    return 0;
}

int CQXLProcess::WaitForDelayedUpdate() {
    Finish(FinishStart, 1);
    if (m_progressWindow != nullptr)
        m_progressWindow->Hide();
    m_log.LogProduction(L"Waiting for qxflux.exe to stop ...");
    WaitForPrimaryToStop();
    m_log.LogProduction(L"Process qxflux.exe has stopped, starting delayed update");
    if (!LoginUser() || !StartExtendSession()) {
        Finish(FinishAbort, 0);
        return 0;
    }
    SetStatusText(Text(kTextDelayedUpdate));
    if (m_progressWindow != nullptr)
        m_progressWindow->Show();
    return 1;
}

// A program that ends before it shows its window would otherwise keep the launcher waiting
// for ever.
void CQXLProcess::WaitForPrimaryWindow(bool logged) {
    if (logged)
        m_log.LogProduction(L"Waiting for qxflux.exe window ...");
    const std::optional<qxplat::Process>& started = m_starter.LastStarted();
    while (!m_services.windows->WindowOfClassExists(kQXLPrimaryWindowClass)) {
        if (started && !started->IsRunning()) {
            m_log.LogError(L"EXIT : qxflux.exe (process %u) has ended without opening its window",
                           started->Id());
            return;
        }
        m_services.clock->Sleep(kWindowPollInterval);
    }
    if (logged)
        m_log.LogProduction(L"Window of qxflux.exe has been found");
}

void CQXLProcess::WaitForPrimaryToStop() {
    while (m_services.windows->WindowOfClassExists(kQXLPrimaryWindowClass))
        m_services.clock->Sleep(kStopPollInterval);
}
