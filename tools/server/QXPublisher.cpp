#include "QXPublisher.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

#include "QXReleaseCheck.h"
#include "QXReleaseStore.h"
#include "platform/IniDocument.h"
#include "platform/Text.h"

namespace fs = std::filesystem;

namespace {

// Stay clear of the longest file name with the version in the staging folder's name.
constexpr std::size_t kShownVersion = 200;

std::runtime_error Failure(const std::string& what, const fs::path& path) {
    return std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

// Forces a file's or folder's contents (a folder: its entries) to the disk.
void Sync(const fs::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) {
        const int saved = errno;
        if (fd >= 0)
            close(fd);
        errno = saved;
        throw Failure("cannot force to disk", path);
    }
    close(fd);
}

// Copies the tree from into the new folder to: folders, regular files (with their modes) and
// symbolic links as links; anything else is refused. Everything is forced to disk.
void CopyTree(const fs::path& from, const fs::path& to) {
    fs::create_directory(to, from);
    for (fs::recursive_directory_iterator it(from), end; it != end; ++it) {
        const fs::path target = to / it->path().lexically_relative(from);
        const fs::file_status status = it->symlink_status();
        if (fs::is_symlink(status))
            fs::copy_symlink(it->path(), target);
        else if (fs::is_directory(status))
            fs::create_directory(target, it->path());
        else if (fs::is_regular_file(status)) {
            fs::copy_file(it->path(), target);
            Sync(target);
        } else
            throw std::runtime_error(it->path().string() + " is not a file, folder or link");
    }
    for (fs::recursive_directory_iterator it(to), end; it != end; ++it)
        if (it->is_directory() && !it->is_symlink())
            Sync(it->path());
    Sync(to);
}

// Removes a staging folder unless it was moved into place.
class CStaging {
public:
    explicit CStaging(fs::path path) : m_path(std::move(path)) {}
    ~CStaging() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    CStaging(const CStaging&) = delete;
    CStaging& operator=(const CStaging&) = delete;
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

fs::path MakeStaging(const fs::path& folder, const std::string& label) {
    std::string pattern = (folder / (".publish-" + label + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw Failure("cannot stage in", folder);
    return pattern;
}

} // namespace

CQXPublisher::CQXPublisher(const SQXPublication& publication, std::ostream& out)
    : m_publication(publication), m_folder(publication.root / "releases" / publication.application),
      m_out(out) {}

int CQXPublisher::Run() {
    const SQXPublication& p = m_publication;
    const fs::path target = m_folder / p.version;
    const fs::path targetManifest = m_folder / (p.version + ".ini");
    if (fs::exists(fs::symlink_status(target))) {
        m_out << target.string() << ": version " << p.version << " of " << p.application
              << " is published already; publish under a new version\n";
        return 1;
    }
    if (p.manifest.empty() && fs::exists(targetManifest)) {
        m_out << targetManifest.string()
              << ": settings of a version that has no folder are there; give --manifest, or "
                 "remove them\n";
        return 1;
    }
    if (fs::create_directory(m_folder))
        Sync(m_folder.parent_path());
    const CStaging staging(MakeStaging(m_folder, p.version.substr(0, kShownVersion)));
    const fs::path stagedFiles = staging.Path() / "files";
    const fs::path stagedManifest = staging.Path() / "manifest.ini";
    CopyTree(p.from, stagedFiles);
    if (!p.manifest.empty()) {
        fs::copy_file(p.manifest, stagedManifest);
        Sync(stagedManifest);
    }
    Sync(staging.Path());
    if (!CheckStaged(staging.Path()))
        return 1;

    // The folder's rename is the moment the version appears; its manifest must be there first.
    if (!p.manifest.empty() && std::rename(stagedManifest.c_str(), targetManifest.c_str()) != 0)
        throw Failure("cannot move into place", targetManifest);
    if (renameat2(AT_FDCWD, stagedFiles.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0)
        throw Failure("cannot move into place", target);
    Sync(m_folder);
    m_out << "published " << p.application << " " << p.version << " as " << target.string() << "\n";
    if (p.makeCurrent)
        m_out << SetCurrentVersion(m_folder, p.version).string() << ": Version=" << p.version
              << "\n";
    return 0;
}

bool CQXPublisher::CheckStaged(const fs::path& staged) const {
    const SQXPublication& p = m_publication;
    CQXSiteProblems problems;
    QXCheckRelease({staged / "files", staged / "manifest.ini", p.from, p.manifest}, problems);
    problems.Print(m_out);
    if (!problems.HasErrors())
        return true;
    m_out << "not published: mend the errors above\n";
    return false;
}

fs::path CQXPublisher::SetCurrentVersion(const fs::path& folder, const std::string& version) {
    const fs::path settings = folder / "application.ini";
    CQXIniDocument document;
    document.Load(settings.wstring());
    document.Set(L"Application", L"Version", qxplat::FromNarrow(version));
    std::string temporary = (folder / ".publish-application.ini-XXXXXX").string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        throw Failure("cannot write", folder);
    close(fd);
    fs::permissions(temporary,
                    fs::exists(settings) ? fs::status(settings).permissions() : fs::perms(0644));
    std::error_code error;
    if (!document.Save(qxplat::FromNarrow(temporary))) {
        fs::remove(temporary, error);
        throw Failure("cannot write", temporary);
    }
    Sync(temporary);
    if (std::rename(temporary.c_str(), settings.c_str()) != 0)
        throw Failure("cannot move into place", settings);
    Sync(folder);
    return settings;
}
