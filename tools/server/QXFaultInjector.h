#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "base/QXEvent.h"

// A misbehaviour asked for by a test: answer a given status, stall before answering, or cut
// the connection after some body bytes.
struct SQXFault {
    enum class Kind { Status, Stall, Cut };
    Kind kind = Kind::Status;
    long long value = 0;
};

// Faults waiting for the next requests of a service. Only a server started for tests accepts
// instructions (from 127.0.0.1).
class CQXFaultInjector {
public:
    // Reads an instruction form: service, count (default 1) and one of status=N, stall=MS or
    // cut=K. Returns an error text, or empty when the instruction was accepted.
    std::string Instruct(const std::string& service, const std::string& count,
                         const std::string& status, const std::string& stall,
                         const std::string& cut);
    // The fault for this request of the service, counting it; nothing when none is pending.
    std::optional<SQXFault> Take(const std::string& service);

    // Holds a request for the stall's time, or until the server stops.
    void Stall(std::chrono::milliseconds time) const { m_stopping.WaitFor(time); }
    // Ends every stall now and to come: the server is stopping.
    void ReleaseStalls() { m_stopping.Set(); }

private:
    struct Pending {
        SQXFault fault;
        long long remaining = 0;
    };
    std::mutex m_mutex;
    std::map<std::string, Pending> m_pending;
    CQXEvent m_stopping;
};
