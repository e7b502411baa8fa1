#include "shell/gtk/QXLGtkMainThread.h"

#include <atomic>
#include <cassert>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <glib.h>
#include <mutex>
#include <thread>

namespace {

std::atomic<std::thread::id> g_gtkThread{};

// One call handed to the GTK thread; lives on the caller's stack until done is set.
struct SMarshalledCall {
    const std::function<void()>* work;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
};

gboolean RunMarshalledCall(gpointer data) {
    auto* call = static_cast<SMarshalledCall*>(data);
    (*call->work)();
    // Notified under the lock: the caller may destroy the call as soon as it sees done.
    std::lock_guard<std::mutex> guard(call->lock);
    call->done = true;
    call->finished.notify_one();
    return G_SOURCE_REMOVE;
}

} // namespace

void CQXLGtkMainThread::Claim() { g_gtkThread = std::this_thread::get_id(); }

bool CQXLGtkMainThread::IsCurrent() { return g_gtkThread.load() == std::this_thread::get_id(); }

void CQXLGtkMainThread::Check() {
#ifndef NDEBUG
    if (!IsCurrent()) {
        std::fputs("GTK called off the main thread\n", stderr);
        std::abort();
    }
#endif
}

void CQXLGtkMainThread::Run(const std::function<void()>& work) {
    if (IsCurrent()) {
        work();
        return;
    }
    // An idle source rather than g_main_context_invoke: that one runs the work on the calling
    // thread whenever it can acquire the context, which it can while the main loop is idle.
    SMarshalledCall call;
    call.work = &work;
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(source, &RunMarshalledCall, &call, nullptr);
    g_source_attach(source, g_main_context_default());
    g_source_unref(source);
    std::unique_lock<std::mutex> guard(call.lock);
    call.finished.wait(guard, [&call] { return call.done; });
}

void CQXLGtkMainThread::WaitServing(const std::function<void()>& blockingCall) {
    if (!IsCurrent()) {
        blockingCall();
        return;
    }
    std::atomic<bool> done{false};
    std::thread helper([&] {
        blockingCall();
        done = true;
        g_main_context_wakeup(g_main_context_default());
    });
    while (!done)
        g_main_context_iteration(g_main_context_default(), TRUE);
    helper.join();
}
