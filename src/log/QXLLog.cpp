#include "log/QXLLog.h"

#include <algorithm>
#include <cwchar>

#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Resources.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace {

constexpr std::size_t kMaxTagLength = 256;
constexpr std::size_t kInitialBufferCapacity = 1024;
constexpr std::size_t kMaxPathLength = 260;
constexpr wchar_t kSettingsSection[] = L"LOG";
constexpr wchar_t kLauncherLogName[] = L"QXLauncher";

thread_local SQXLLogCapture* t_capture = nullptr;

// A key is present when reading it with two different fallbacks gives the same number; an
// absent key or an empty value keeps the default.
bool ReadSwitch(const std::wstring& file, const wchar_t* key, bool byDefault) {
    const int withZero = qxplat::ReadIniInt(file, kSettingsSection, key, 0);
    const int withOne = qxplat::ReadIniInt(file, kSettingsSection, key, 1);
    const bool on = withZero == withOne ? withZero != 0 : byDefault;
    qxplat::WriteIniString(file, kSettingsSection, key, on ? L"1" : L"0");
    return on;
}

std::wstring DirectoryOf(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(qxplat::kPathSeparator);
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

} // namespace

std::time_t CQXLLog::DefaultClock() { return std::time(nullptr); }

CQXLLog::CQXLLog() : m_clock(&DefaultClock) {
    const std::wstring program = qxplat::ModulePath();
    if (!program.empty())
        Initialise(DirectoryOf(program), kLauncherLogName);
}

CQXLLog::CQXLLog(const std::wstring& programDirectory, Clock clock) : m_clock(clock) {
    Initialise(programDirectory, kLauncherLogName);
}

CQXLLog::CQXLLog(const std::wstring& programDirectory, const std::wstring& logName, Clock clock)
    : m_clock(clock) {
    Initialise(programDirectory, logName);
}

void CQXLLog::Initialise(const std::wstring& programDirectory, const std::wstring& logName) {
    m_line.reserve(kInitialBufferCapacity);
    m_message.reserve(kInitialBufferCapacity);
    const std::wstring separator(1, qxplat::kPathSeparator);
    m_settingsFilePath = programDirectory + separator + L"QXLauncher.ini";
    ReadSettings();

    const std::wstring folder = programDirectory + separator + L"LOG";
    qxplat::MakeDirectory(folder);
    std::tm today{};
    char day[16];
    if (!qxplat::LocalTime(m_clock(), today) ||
        std::strftime(day, sizeof day, "%Y%m%d", &today) == 0)
        return;
    m_logFilePath = folder + separator + logName + L"_" + qxplat::FromLogText(day) + L".log";
    if (m_logFilePath.size() >= kMaxPathLength)
        m_logFilePath.clear();
}

void CQXLLog::ReadSettings() {
    m_activateLog = ReadSwitch(m_settingsFilePath, L"activateLog", false);
    m_warning = ReadSwitch(m_settingsFilePath, L"warning", true);
    m_error = ReadSwitch(m_settingsFilePath, L"error", true);
    m_info = ReadSwitch(m_settingsFilePath, L"info", true);
    m_production = ReadSwitch(m_settingsFilePath, L"production", true);
    m_debug = ReadSwitch(m_settingsFilePath, L"debug", false);
}

void CQXLLog::SetTag(const wchar_t* tag) {
    if (tag != nullptr)
        m_tag.assign(tag, std::min(std::wcslen(tag), kMaxTagLength));
}

void CQXLLog::LogFileVersion() {
    if (const auto version = qxplat::ProgramFileVersion())
        LogInfo(L"file version : %d.%d.%d.%d", (*version)[0], (*version)[1], (*version)[2],
                (*version)[3]);
}

void CQXLLog::AppendHeader(const wchar_t* marker) {
    std::tm now{};
    char stamp[32];
    if (qxplat::LocalTime(m_clock(), now) &&
        std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &now) != 0)
        QXFormatTo(m_line, L"%s %s {%d}", marker, qxplat::FromLogText(stamp),
                   qxplat::CurrentThreadId());
    else
        QXFormatTo(m_line, L"%s [NULL] {%d}", marker, qxplat::CurrentProcessId());
}

void CQXLLog::CaptureThread(SQXLLogCapture* capture) { t_capture = capture; }

int CQXLLog::WriteCaptured(const SQXLLogCapture& capture) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!capture.lastError.empty())
        m_lastError = capture.lastError;
    const std::string& bytes = capture.bytes;
    if (bytes.empty())
        return 1;
    const qxplat::FilePtr file = qxplat::OpenShared(m_logFilePath, "ab");
    return file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() ? 1 : 0;
}

void CQXLLog::KeepError(const wchar_t* format, const CQXFormatArg* args, std::size_t count) {
    if (t_capture != nullptr) {
        t_capture->lastError.clear();
        QXFormatAppend(t_capture->lastError, format, args, count);
        return;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_lastError.clear();
    QXFormatAppend(m_lastError, format, args, count);
}

std::wstring CQXLLog::LastError() {
    if (t_capture != nullptr)
        return t_capture->lastError;
    std::lock_guard<std::mutex> guard(m_lock);
    return m_lastError;
}

int CQXLLog::WriteRecord(const wchar_t* marker, const wchar_t* format, const CQXFormatArg* args,
                         std::size_t count) {
    std::lock_guard<std::mutex> guard(m_lock);
    qxplat::FilePtr file;
    if (t_capture == nullptr && !(file = qxplat::OpenShared(m_logFilePath, "ab")))
        return 0;
    m_line.clear();
    m_message.clear();
    AppendHeader(marker);
    m_line.append(L" [").append(m_tag).append(L"] - ");
    QXFormatAppend(m_message, format, args, count);
    m_line.append(m_message).push_back(L'\n');

    // The file is text in the Windows sense on every platform: each line feed becomes CR LF.
    m_bytes.clear();
    std::size_t start = 0;
    for (std::size_t lf = m_line.find(L'\n'); lf != std::wstring::npos;
         start = lf + 1, lf = m_line.find(L'\n', start)) {
        qxplat::AppendLogText(m_bytes, std::wstring_view(m_line).substr(start, lf - start));
        m_bytes.append("\r\n");
    }
    if (t_capture != nullptr) {
        t_capture->bytes += m_bytes;
        return 1;
    }
    return std::fwrite(m_bytes.data(), 1, m_bytes.size(), file.get()) == m_bytes.size() ? 1 : 0;
}
