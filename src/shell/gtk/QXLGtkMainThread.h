#pragma once

#include <functional>

// The one thread that may touch GTK: the thread that built the user interface and runs its
// main loop. Other threads hand their work to it and wait, as SendMessage does on Windows.
class CQXLGtkMainThread {
public:
    // Makes the calling thread the GTK thread. Called once, by the user interface's builder.
    static void Claim();
    // True on the GTK thread.
    static bool IsCurrent();
    // Aborts a debug build when called off the GTK thread; every GTK call site checks it.
    static void Check();

    // Runs work on the GTK thread and returns when it is done. On the GTK thread it runs at
    // once; elsewhere it waits until the main loop (or a modal dialog's nested loop) runs it.
    static void Run(const std::function<void()>& work);

    // Runs a call that blocks until other threads are done, while those threads may still
    // hand work to the GTK thread: on the GTK thread the call runs on a helper thread and the
    // main context keeps turning until it returns; elsewhere it is simply called.
    static void WaitServing(const std::function<void()>& blockingCall);
};
