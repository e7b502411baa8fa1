#include "QXFaultInjector.h"

#include <cctype>

namespace {

// A whole non-negative decimal number, or -1.
long long Number(const std::string& text) {
    if (text.empty() || text.size() > 12)
        return -1;
    long long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string CQXFaultInjector::Instruct(const std::string& service, const std::string& count,
                                       const std::string& status, const std::string& stall,
                                       const std::string& cut) {
    if (service.empty())
        return "service is missing";
    const long long times = count.empty() ? 1 : Number(count);
    if (times < 0)
        return "count must be a number";
    if (!status.empty() + !stall.empty() + !cut.empty() != 1)
        return "give exactly one of status, stall, cut";
    Pending pending;
    pending.remaining = times;
    if (!status.empty())
        pending.fault = {SQXFault::Kind::Status, Number(status)};
    else if (!stall.empty())
        pending.fault = {SQXFault::Kind::Stall, Number(stall)};
    else
        pending.fault = {SQXFault::Kind::Cut, Number(cut)};
    if (pending.fault.value < 0 || (pending.fault.kind == SQXFault::Kind::Status &&
                                    (pending.fault.value < 100 || pending.fault.value > 599)))
        return "the fault's value is out of range";
    std::lock_guard<std::mutex> lock(m_mutex);
    if (times == 0)
        m_pending.erase(service);
    else
        m_pending[service] = pending;
    return std::string();
}

std::optional<SQXFault> CQXFaultInjector::Take(const std::string& service) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_pending.find(service);
    if (it == m_pending.end())
        return std::nullopt;
    const SQXFault fault = it->second.fault;
    if (--it->second.remaining == 0)
        m_pending.erase(it);
    return fault;
}
