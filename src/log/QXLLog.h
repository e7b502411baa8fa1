#pragma once

#include <ctime>
#include <mutex>
#include <string>

#include "base/QXFormat.h"

// Records held back by one thread instead of written: their bytes as the file would get them,
// and the text of the thread's latest error record while it captures.
struct SQXLLogCapture {
    std::string bytes;
    std::wstring lastError;
};

// The launcher's daily log: LOG/QXLauncher_YYYYMMDD.log beside the program, switched by the
// [LOG] section of QXLauncher.ini. Any thread may log at any time; records never interleave.
// No failure of the log reaches the caller beyond the 0/1 results, which nobody needs to check.
class CQXLLog {
public:
    using Clock = std::time_t (*)();

    // Beside the running program. Reads and rewrites the settings, creates the LOG folder and
    // fixes today's file name.
    CQXLLog();
    // Beside programDirectory (no trailing separator), with the given source of time.
    explicit CQXLLog(const std::wstring& programDirectory, Clock clock = &DefaultClock);
    // The same for another program of the installation (the installer, say): its own daily
    // file LOG/<logName>_YYYYMMDD.log, switched by the same QXLauncher.ini.
    CQXLLog(const std::wstring& programDirectory, const std::wstring& logName,
            Clock clock = &DefaultClock);

    CQXLLog(const CQXLLog&) = delete;
    CQXLLog& operator=(const CQXLLog&) = delete;

    // Keeps at most the first 256 characters; null leaves the tag as it is. Set once at start.
    void SetTag(const wchar_t* tag);

    // Error records are also kept as LastError, written or not.
    template <typename... Args>
    int LogError(const wchar_t* format, const Args&... args) {
        if (format != nullptr) {
            const CQXFormatArg list[] = {CQXFormatArg(args)..., CQXFormatArg(0)};
            KeepError(format, list, sizeof...(Args));
        }
        return m_error ? Write(L"**", format, args...) : 0;
    }
    template <typename... Args>
    int LogWarning(const wchar_t* format, const Args&... args) {
        return m_warning ? Write(L"--", format, args...) : 0;
    }
    template <typename... Args>
    int LogProduction(const wchar_t* format, const Args&... args) {
        return m_production ? Write(L"  ", format, args...) : 0;
    }
    template <typename... Args>
    int LogInfo(const wchar_t* format, const Args&... args) {
        return m_info ? Write(L"??", format, args...) : 0;
    }
    template <typename... Args>
    bool LogDebug(const wchar_t* format, const Args&... args) {
        return m_debug && Write(L"DD", format, args...) != 0;
    }

    // Lets a caller skip building a large text that only a debug record would show.
    bool IsDebugEnabled() const { return m_debug; }

    // Writes "file version : a.b.c.d" from the program's version resource as an info record.
    void LogFileVersion();

    // The text of the latest error record (without its header); empty before the first. On a
    // thread that captures, the latest of that thread's capture.
    std::wstring LastError();

    // Holds back the records the calling thread writes to any log in capture (null writes them
    // again), so that work done side by side can be logged in its own order. capture outlives
    // the capture.
    static void CaptureThread(SQXLLogCapture* capture);
    // Appends records captured earlier, unchanged; the capture's latest error becomes the
    // latest error. 1 when they were written.
    int WriteCaptured(const SQXLLogCapture& capture);

    const std::wstring& GetLogFilePath() const { return m_logFilePath; }
    const std::wstring& GetSettingsFilePath() const { return m_settingsFilePath; }

    static std::time_t DefaultClock();

private:
    void Initialise(const std::wstring& programDirectory, const std::wstring& logName);
    void ReadSettings();

    template <typename... Args>
    int Write(const wchar_t* marker, const wchar_t* format, const Args&... args) {
        if (format == nullptr || !m_activateLog)
            return 0;
        const CQXFormatArg list[] = {CQXFormatArg(args)..., CQXFormatArg(0)};
        return WriteRecord(marker, format, list, sizeof...(Args));
    }
    int WriteRecord(const wchar_t* marker, const wchar_t* format, const CQXFormatArg* args,
                    std::size_t count);
    void AppendHeader(const wchar_t* marker);
    void KeepError(const wchar_t* format, const CQXFormatArg* args, std::size_t count);

    Clock m_clock;
    std::wstring m_logFilePath;
    std::wstring m_settingsFilePath;
    bool m_activateLog = true;
    bool m_info = true;
    bool m_warning = true;
    bool m_error = true;
    bool m_production = true;
    bool m_debug = true;
    std::wstring m_tag;
    std::mutex m_lock;
    // Reused for every record, under the lock, so that a record normally allocates nothing.
    std::wstring m_line;
    std::wstring m_message;
    std::string m_bytes;
    std::wstring m_lastError;
};
