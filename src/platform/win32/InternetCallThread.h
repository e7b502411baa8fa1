#pragma once

#include <functional>
#include <memory>
#include <thread>

namespace qxplat {

// Runs blocking WinINet calls, one at a time, on a thread of its own, so that the thread that
// asked for them can give up waiting: a synchronous WinINet call cannot be ended from outside,
// and a server that drips, or a stop, must not hold the caller. A call given up on keeps
// running until WinINet returns; whatever it uses must be held by the call itself.
class InternetCallThread {
public:
    InternetCallThread();
    // Ends and joins an idle thread. A thread still in a call given up on is left to end on
    // its own once the call returns; nothing waits for it.
    ~InternetCallThread();

    InternetCallThread(const InternetCallThread&) = delete;
    InternetCallThread& operator=(const InternetCallThread&) = delete;

    // Runs call on the thread and waits for it, asking keepWaiting (on this thread) about
    // every 50 ms whether to go on. True when the call returned; false when keepWaiting said
    // no first, after which no further call may be run. Runs call here when no thread can be
    // started.
    bool Run(std::function<void()> call, const std::function<bool()>& keepWaiting);

private:
    struct State;
    // The thread: runs each call handed over until told to quit.
    static void Serve(const std::shared_ptr<State>& state);

    std::shared_ptr<State> m_state;
    std::thread m_thread;
    bool m_givenUp = false;
};

} // namespace qxplat
