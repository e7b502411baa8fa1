#include "app/QXLFileList.h"
#include "platform/Process.h"
#include "platform/System.h"

namespace {

// A name that already says where it lies: a drive ("C:\...") after its first character, or,
// where paths start at a slash, an absolute path.
bool IsFullPath(const std::wstring& name) {
    if (name.find(L":\\", 1) != std::wstring::npos)
        return true;
    return qxplat::kPathSeparator == L'/' && !name.empty() && name.front() == L'/';
}

} // namespace

void CQXLFileList::OpenDocument(const std::wstring& name) {
    std::wstring path = name;
    if (!IsFullPath(name)) {
        path = m_fileSet.InstallationDirectory() + L"_QXLTmp" + qxplat::kPathSeparator + name;
    }
    m_log.LogInfo(L"Opening document %s", path);
    qxplat::OpenDocument(path);
}
