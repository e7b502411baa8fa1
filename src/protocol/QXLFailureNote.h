#pragma once

#include <string>

#include "platform/HttpFailure.h"

class CQXUrlServer;

// What made one attempt of a request fail, noted as the attempt goes, and told afterwards in
// one line a support engineer reads without the code: the URL tried, what failed, what to
// check. The last note of an attempt wins.
class CQXLFailureNote {
public:
    // Forgets the last attempt's failure.
    void Clear() { *this = CQXLFailureNote(); }
    // A transport step failed with the system's error code; detail is the system's own words
    // (may be empty).
    void Transport(unsigned long code, const std::wstring& detail);
    // The server answered with a status other than 200.
    void Status(long status);
    // The reply came but was refused: why says so ("bad signature", "file differs").
    void Refused(const std::wstring& why);

    // The line for url, the whole address the attempt posted to.
    std::wstring Line(const std::wstring& url) const;
    // The same for the attempt that posted to object (the path) on server.
    std::wstring Line(const CQXUrlServer& server, const std::wstring& object) const;

    // The parts of the line for a transport failure: what failed and what to check.
    static const wchar_t* What(qxplat::HttpFailureKind kind);
    static const wchar_t* Check(qxplat::HttpFailureKind kind);

private:
    enum class Kind { None, Transport, Status, Refused };
    Kind m_kind = Kind::None;
    unsigned long m_code = 0;
    long m_status = 0;
    std::wstring m_detail;
};
