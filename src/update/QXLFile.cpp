#include "update/QXLFile.h"

#include "platform/FileProbe.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "update/QXChecksumFile.h"

namespace {

const wchar_t* FlagText(int flag) { return flag != 0 ? L"TRUE" : L"FALSE"; }

std::wstring NormalisePath(const std::wstring& path) {
    if (path == L"--" || path.empty())
        return {};
    std::wstring normal = path;
    for (wchar_t& c : normal)
        if (c == L'/' || c == L'\\')
            c = qxplat::kPathSeparator;
    if (normal.back() != qxplat::kPathSeparator)
        normal.push_back(qxplat::kPathSeparator);
    return normal;
}

} // namespace

void CQXLFile::SetFile(const std::wstring& name, std::uint32_t checksum, std::int32_t size,
                       int mode, int isActiveX, int hasToBeLaunched, const std::wstring& path,
                       const std::optional<std::wstring>& serverPath) {
    m_fileName = name;
    m_fileChecksum = checksum;
    m_fileSize = size;
    m_fileMode = mode;
    m_isActiveX = isActiveX;
    m_hasToBeLaunched = hasToBeLaunched;
    m_filePath = NormalisePath(path);
    m_serverPath = serverPath ? *serverPath : m_filePath;
    m_log.LogProduction(L"File:%s Checksum:%u Size:%d Mode:%d ActiveX:%s Launch:%s Path:%s", name,
                        checksum, size, mode, FlagText(isActiveX), FlagText(hasToBeLaunched), path);
}

int CQXLFile::IsUpToDate(const std::wstring& directory) {
    const std::wstring path = directory + m_filePath + m_fileName;
    const qxplat::FilePtr file = qxplat::OpenShared(path, "rb");
    const std::int64_t length = file ? qxplat::OpenFileLength(file.get()) : -1;
    if (length < 0) {
        m_log.LogProduction(L"Do download : file does not exist : %d",
                            static_cast<long long>(qxplat::LastError()));
        return 0;
    }
    // The size column holds 32 bits: compare the low 32 bits of the installed length.
    const auto installed = static_cast<std::int32_t>(static_cast<std::uint32_t>(length));
    if (installed != m_fileSize) {
        m_log.LogProduction(L"Do download : size is different from %d", installed);
        return 0;
    }
    // A file that changes while it is read is no proof of anything: fetch it again.
    const SQXFileChecksum checksum =
        QXChecksumFile(path, file.get(), static_cast<std::uint64_t>(length));
    if (checksum.status != QXChecksumRead::Whole) {
        m_log.LogWarning(L"Unable to read whole file.");
        m_log.LogProduction(checksum.status == QXChecksumRead::Failed
                                ? L"Do download : read failed after %d of %d bytes"
                                : L"Do download : file changed while read (%d of %d bytes)",
                            static_cast<long long>(checksum.bytesRead),
                            static_cast<long long>(length));
        return 0;
    }
    if (checksum.value == m_fileChecksum) {
        m_log.LogProduction(L"No download : checksum is the same");
        KeepRunnable(path, file.get());
        return 1;
    }
    m_log.LogProduction(L"Do download : checksum is different from %u", checksum.value);
    return 0;
}

bool CQXLFile::IsProgram(std::string_view head) const {
    if (m_executable >= 0)
        return m_executable == 1;
    return head.substr(0, 4) == "\177ELF" || head.substr(0, 2) == "#!";
}

// A current copy that an earlier download left without its run bits gets them now: it is
// never downloaded again.
void CQXLFile::KeepRunnable(const std::wstring& path, std::FILE* file) {
    char head[4] = {};
    std::size_t length = 0;
    if (m_executable < 0 && std::fseek(file, 0, SEEK_SET) == 0)
        length = std::fread(head, 1, sizeof head, file);
    if (IsProgram(std::string_view(head, length)) && !qxplat::MakeExecutable(path))
        m_log.LogWarning(L"Unable to make %s executable : %d", path,
                         static_cast<long long>(qxplat::LastError()));
}

int CQXLFile::TestExists(const std::wstring& directory, bool deleteFlag) {
    if (qxplat::OpenShared(directory + m_filePath + m_fileName, "rb")) {
        m_log.LogProduction(deleteFlag ? L"Do delete : file exists"
                                       : L"No download : file already exists");
        return 1;
    }
    const auto cause = static_cast<long long>(qxplat::LastError());
    if (deleteFlag)
        m_log.LogProduction(L"No delete : file does not exist : %d", cause);
    else
        m_log.LogProduction(L"Do download : file does not exist : %d", cause);
    return 0;
}

bool CQXLFile::NeedsAction(const std::wstring& directory) {
    switch (m_fileMode) {
    case ModeDelta:
    case ModeInstall:
        return IsUpToDate(directory) == 0;
    case ModeCreate:
        return TestExists(directory, false) == 0;
    case ModeDelete:
        return TestExists(directory, true) == 1;
    case ModeUpdate:
        if (IsUpToDate(directory) == 1)
            m_fileMode = ModeUpdateUnchanged;
        return true;
    default:
        return false;
    }
}

int CQXLFile::MarkHandled() {
    if (m_handled != 0)
        return 0;
    m_handled = 1;
    return 1;
}
