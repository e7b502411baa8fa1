#pragma once

#include <mutex>
#include <ostream>
#include <string>

// One access line: who asked what, and how it was answered.
struct SQXAccessEntry {
    std::string address;
    // Empty when no request line could be read.
    std::string method;
    std::string path;
    int status = 0;
    std::size_t size = 0;
    std::string user;
    // The Code of a refusal text (0: none), and whether a login back-off refused it.
    int refusal = 0;
    bool throttled = false;
    // The groups a directory login brought, comma-separated.
    std::string groups;
};

// The access log on a stream (standard error): one line per request, written whole so that
// threads never interleave. Every value a client chose is escaped (bytes outside printable
// ASCII, the backslash and the double quote become \xNN) and cut to a bounded length, so that
// no request can start a line of its own or bury the log in one huge line.
class CQXAccessLog {
public:
    explicit CQXAccessLog(std::ostream& out) : m_out(out) {}

    void Write(const SQXAccessEntry& entry);
    // An error line, e.g. an exception a request raised.
    void Error(const std::string& what);

    // value, escaped and cut as the log writes it.
    static std::string Escape(const std::string& value);

private:
    void Line(const std::string& text);

    std::ostream& m_out;
    std::mutex m_mutex;
};
