#pragma once

#include <string>

#include "log/QXLLog.h"
#include "support/TempDir.h"

// A log of its own in a fresh directory, every level on, whose records a test can read.
class TestLog {
public:
    TestLog() : m_log(EnableAll(m_dir)) {}

    CQXLLog& Log() { return m_log; }
    // Everything written so far, as bytes.
    std::string Text() const { return ReadBytes(m_log.GetLogFilePath()); }
    bool Contains(const std::string& text) const { return Text().find(text) != std::string::npos; }

private:
    static std::wstring EnableAll(const TempDir& dir) {
        WriteBytes(dir.Path() / "QXLauncher.ini",
                   "[LOG]\nactivateLog=1\nwarning=1\nerror=1\ninfo=1\nproduction=1\ndebug=1\n");
        return dir.Path().wstring();
    }

    TempDir m_dir;
    CQXLLog m_log;
};
