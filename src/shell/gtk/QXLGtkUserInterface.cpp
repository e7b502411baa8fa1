#include "shell/gtk/QXLGtkUserInterface.h"

#include <gtk/gtk.h>

#include "base/QXEvent.h"
#include "shell/gtk/QXLGtkCredentialDialog.h"
#include "shell/gtk/QXLGtkHttpPrompt.h"
#include "shell/gtk/QXLGtkMainThread.h"
#include "shell/gtk/QXLGtkMessageBox.h"
#include "shell/gtk/QXLGtkProgressWindow.h"
#include "shell/gtk/QXLGtkSelectVersionDialog.h"
#include "shell/gtk/QXLGtkWarnUpdateDialog.h"

namespace {

constexpr guint kWorkerCheckMs = 50;

struct SLoopWatch {
    GMainLoop* loop;
    const CQXEvent* workerDone;
};

gboolean CheckWorkerDone(gpointer data) {
    auto* watch = static_cast<SLoopWatch*>(data);
    if (watch->workerDone->IsSet())
        g_main_loop_quit(watch->loop);
    return G_SOURCE_CONTINUE;
}

} // namespace

std::unique_ptr<CQXLGtkUserInterface> CQXLGtkUserInterface::Create(QXLanguageBase languageBase) {
    g_set_prgname("QXLauncher");
    if (!gtk_init_check(nullptr, nullptr))
        return nullptr;
    CQXLGtkMainThread::Claim();
    return std::unique_ptr<CQXLGtkUserInterface>(new CQXLGtkUserInterface(languageBase));
}

CQXLGtkUserInterface::CQXLGtkUserInterface(QXLanguageBase languageBase)
    : m_languageBase(languageBase),
      m_splash(std::make_unique<CQXLGtkProgressWindow>([this] { m_closed = true; })),
      m_httpPrompt(std::make_unique<CQXLGtkHttpPrompt>(languageBase,
                                                       [this] { return m_splash->Window(); })) {}

CQXLGtkUserInterface::~CQXLGtkUserInterface() = default;

IQXLProgressWindow* CQXLGtkUserInterface::GetProgressWindow() { return m_splash.get(); }

qxplat::HttpPrompt* CQXLGtkUserInterface::GetHttpPrompt() { return m_httpPrompt.get(); }

bool CQXLGtkUserInterface::IsClosed() const {
    bool closed = false;
    CQXLGtkMainThread::Run([this, &closed] { closed = m_closed; });
    return closed;
}

void CQXLGtkUserInterface::RunMessageLoop(const CQXEvent& workerDone) {
    CQXLGtkMainThread::Check();
    // Closing the splash needs no loop of its own here: the worker closes it as its last
    // step, and whatever it still shows after that is served until it is done.
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    SLoopWatch watch{loop, &workerDone};
    const guint timer = g_timeout_add(kWorkerCheckMs, &CheckWorkerDone, &watch);
    if (!workerDone.IsSet())
        g_main_loop_run(loop);
    g_source_remove(timer);
    g_main_loop_unref(loop);
}

int CQXLGtkUserInterface::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                         unsigned flags, QXLBoxOwner owner) {
    int answer = 0;
    CQXLGtkMainThread::Run([&] {
        GtkWindow* parent = owner == QXLBoxOwner::ProgressWindow ? m_splash->Window() : nullptr;
        answer = QXLGtkShowMessageBox(parent, text, caption, flags, m_languageBase);
    });
    return answer;
}

int CQXLGtkUserInterface::ShowCredentialDialog(CQXLCredentialDlg& dialog) {
    int result = 0;
    CQXLGtkMainThread::Run(
        [&] { result = CQXLGtkCredentialDialog(dialog).Run(m_splash->Window()); });
    return result;
}

int CQXLGtkUserInterface::ShowSelectVersionDialog(CQXLSelectVersionDlg& dialog) {
    int result = 0;
    CQXLGtkMainThread::Run(
        [&] { result = CQXLGtkSelectVersionDialog(dialog).Run(m_splash->Window()); });
    return result;
}

int CQXLGtkUserInterface::ShowWarnUpdateDialog(CQXLWarnUpdateDlg& dialog) {
    // The view outlives its window until the release note download has ended: the download
    // reports to it, and those reports need this loop, so the wait runs off its thread.
    CQXLGtkWarnUpdateDialog view(dialog);
    int result = 0;
    CQXLGtkMainThread::Run([&] { result = view.Run(m_splash->Window()); });
    CQXLGtkMainThread::WaitServing([&dialog] { dialog.WaitForDownload(); });
    return result;
}
