#include "update/QXLFile.h"

#include <vector>

#include "platform/FileProbe.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "update/QXChecksum.h"

namespace {

// Large blocks let the checksum run at memory speed; the result is that of any block size.
constexpr std::size_t kReadBlock = 64 * 1024;

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
    const qxplat::FilePtr file = qxplat::OpenShared(directory + m_filePath + m_fileName, "rb");
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
    // Unbuffered: each block goes straight from the system into our buffer.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    std::vector<unsigned char> block(kReadBlock);
    CQXChecksum checksum;
    std::uint64_t read = 0;
    for (;;) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), file.get());
        if (n == 0)
            break;
        checksum.Update(block.data(), n);
        read += n;
    }
    if (static_cast<std::int32_t>(static_cast<std::uint32_t>(read)) != m_fileSize)
        m_log.LogWarning(L"Unable to read whole file.");
    if (checksum.Value() == m_fileChecksum) {
        m_log.LogProduction(L"No download : checksum is the same");
        return 1;
    }
    m_log.LogProduction(L"Do download : checksum is different from %u", checksum.Value());
    return 0;
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
