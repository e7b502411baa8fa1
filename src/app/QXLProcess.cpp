#include "app/QXLProcess.h"

#include <string_view>

#include "app/QXLBuildInfo.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

constexpr wchar_t kDumpFormat[] = L"Configuration file [%s] content:\n\n"
                                  L"==============================================\n"
                                  L"%s\n"
                                  L"==============================================";

// Reads a whole file as the C runtime's wide text stream would: CR LF becomes LF.
bool ReadTextFile(const std::wstring& fileName, std::wstring& content) {
    const qxplat::FilePtr file = qxplat::OpenShared(fileName, "rb");
    if (!file)
        return false;
    std::string bytes;
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file.get())) > 0;)
        bytes.append(block, n);
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text.push_back(bytes[i]);
    content = qxplat::FromLogText(text);
    return true;
}

} // namespace

CQXLProcess::CQXLProcess(IQXLProgressWindow* progressWindow, QXLanguageBase languageBase,
                         const std::wstring& commandLine)
    : m_progressWindow(progressWindow), m_fileList(m_log, languageBase),
      m_languageBase(languageBase), m_commandLine(commandLine) {}

int CQXLProcess::RunSequence() {
    m_log.SetTag(L"QXLauncher");
    WriteBanner();
    DumpConfigurationFile(L"QXLauncher.ini", false);
    DumpConfigurationFile(L"QXUrl.net", true);
    return 0;
}

void CQXLProcess::WriteBanner() {
    m_log.LogProduction(L"-----------------------");
    m_log.LogProduction(L"- QXLauncher starting -");
    m_log.LogProduction(L"-----------------------");
    m_log.LogFileVersion();
    m_log.LogProduction(L"Internal version: %s [%s %s]", kQXInternalVersion, kQXChangeStamp,
                        kQXDateTimeStamp);
}

// The dump looks in the current directory: it records what the user's start folder holds,
// while the settings themselves are read beside the program.
void CQXLProcess::DumpConfigurationFile(const std::wstring& fileName, bool missingIsError) {
    std::wstring content;
    if (ReadTextFile(fileName, content))
        m_log.LogDebug(kDumpFormat, fileName, content);
    else if (missingIsError)
        m_log.LogError(L"Unable to find configuration file [%s]", fileName);
    else
        m_log.LogDebug(L"Unable to find configuration file [%s]", fileName);
}
