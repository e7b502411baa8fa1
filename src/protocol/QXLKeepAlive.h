#pragma once

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/QXEvent.h"
#include "platform/HttpTransport.h"

class CQXUrlParser;

// The pause between the end of one ping and the start of the next, and each ping's connect
// and receive time-outs.
constexpr std::chrono::milliseconds kQXLKeepAlivePeriod{10000};
constexpr unsigned long kQXLPingTimeoutMs = 10000;

// What one ping thread is started with. The thread keeps its own copy: a later start never
// changes what an earlier thread sends.
struct SQXLKeepAliveStart {
    // Gives the request server list and the certificate leniency; outlives the thread.
    CQXUrlParser* configuration = nullptr;
    std::wstring service;
    std::wstring parameters;
    // The code page the parameters travel in (qxplat::WireCodePage).
    unsigned codePage = 1252;
    // A ping that brings fewer than 1 KiB/s over this window ends as a time-out.
    unsigned long minimumRateWindowMs = qxplat::kHttpMinimumRateWindowMs;
};

// The session keep-alive threads: each sends its service to the current request server right
// away and again after every pause, without logging, without reading the reply and without
// failing over, until it is stopped. Each thread has a manual-reset stop event of its own, so
// a stop reaches exactly the threads running at that moment: a thread started afterwards is
// never ended by an earlier stop. A stop also ends the ping under way at once, however slowly
// its server answers, so that nobody waits for a server. Destroying the object stops and
// joins every thread.
class CQXLKeepAlive {
public:
    // Every ping goes over transport, which must outlive the object.
    explicit CQXLKeepAlive(qxplat::HttpTransport& transport = qxplat::SystemHttpTransport())
        : m_transport(transport) {}
    ~CQXLKeepAlive();

    CQXLKeepAlive(const CQXLKeepAlive&) = delete;
    CQXLKeepAlive& operator=(const CQXLKeepAlive&) = delete;

    // Starts one more thread with its own values. False, with the system's error code, when
    // the thread cannot be created.
    bool Start(SQXLKeepAliveStart values, unsigned long& error);
    // Sets the stop event of every running thread and returns at once. A thread ends as soon
    // as its current ping is given up (within about 50 ms); one waiting in its pause ends
    // without another ping.
    void Stop();
    // How many threads have not ended yet.
    int RunningCount();

    // For tests only: the pause of threads started afterwards.
    void SetPeriodForTests(std::chrono::milliseconds period) { m_period = period; }

private:
    struct Thread {
        std::thread thread;
        CQXEvent stop;
        // Ends the ping under way.
        std::shared_ptr<qxplat::HttpStop> abort = std::make_shared<qxplat::HttpStop>();
        bool ended = false; // under m_lock
    };

    void Run(const SQXLKeepAliveStart& values, std::chrono::milliseconds period, Thread& self);
    // Joins the threads that have ended; called under m_lock.
    void JoinEnded();

    qxplat::HttpTransport& m_transport;
    std::mutex m_lock;
    std::list<Thread> m_threads;
    std::chrono::milliseconds m_period = kQXLKeepAlivePeriod;
};
