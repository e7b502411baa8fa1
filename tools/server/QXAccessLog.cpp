#include "QXAccessLog.h"

#include <algorithm>
#include <ctime>

namespace {

// Longer values are cut: a log line stays readable whatever a client sends.
constexpr std::size_t kMaxValue = 256;

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

} // namespace

std::string CQXAccessLog::Escape(const std::string& value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    const std::size_t length = std::min(value.size(), kMaxValue);
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (byte < 0x20 || byte > 0x7e || byte == '\\' || byte == '"') {
            out += "\\x";
            out += kDigits[byte >> 4];
            out += kDigits[byte & 15];
        } else {
            out += static_cast<char>(byte);
        }
    }
    if (value.size() > kMaxValue)
        out += "...";
    return out;
}

void CQXAccessLog::Write(const SQXAccessEntry& entry) {
    std::string line = UtcNow() + ' ' + Escape(entry.address) + " \"";
    line += entry.method.empty() ? "-" : Escape(entry.method) + ' ' + Escape(entry.path);
    line += "\" " + std::to_string(entry.status) + ' ' + std::to_string(entry.size);
    if (!entry.user.empty())
        line += " user=" + Escape(entry.user);
    if (entry.refusal != 0)
        line += " refused=" + std::to_string(entry.refusal);
    if (entry.throttled)
        line += " throttled";
    if (!entry.groups.empty())
        line += " groups=" + Escape(entry.groups);
    Line(line);
}

void CQXAccessLog::Error(const std::string& what) { Line(UtcNow() + " error: " + Escape(what)); }

void CQXAccessLog::Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_out << text << std::endl;
}
