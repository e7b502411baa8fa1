#include "QXSiteCommand.h"

#include <filesystem>

#include "QXArguments.h"
#include "QXDeltaStore.h"
#include "QXIniFile.h"
#include "QXPublisher.h"
#include "QXReleaseStore.h"
#include "QXSiteCheck.h"
#include "QXSitePreview.h"

namespace fs = std::filesystem;

namespace {

fs::path Root(const CQXArguments& args, const std::string& command) {
    if (!args.Has("root"))
        throw CQXUsageError(command + " needs --root DIR");
    return args.Get("root");
}

std::string PlainName(const CQXArguments& args, const std::string& option) {
    const std::string name = args.Get(option);
    if (!CQXReleaseStore::IsPlainName(name))
        throw CQXUsageError("--" + option +
                            " needs a plain folder name (no '/', not starting "
                            "with '.'), not '" +
                            name + "'");
    return name;
}

} // namespace

int CQXSiteCommand::RunCheck(const std::vector<std::string>& words) {
    const CQXArguments args(words, {}, {"root"});
    CQXSiteCheck check(Root(args, "check"));
    check.Run();
    check.Problems().Print(m_out);
    m_out << check.Summary() << '\n';
    return check.Problems().All().empty() ? 0 : 1;
}

int CQXSiteCommand::RunPublish(const std::vector<std::string>& words) {
    const CQXArguments args(words, {"make-current"},
                            {"root", "app", "version", "from", "manifest"});
    SQXPublication publication;
    publication.root = Root(args, "publish");
    publication.application = PlainName(args, "app");
    publication.version = PlainName(args, "version");
    publication.from = args.Get("from");
    publication.manifest = args.Get("manifest");
    publication.makeCurrent = args.Has("make-current");
    if (!fs::is_directory(publication.from))
        throw CQXUsageError("publish needs --from DIR, the folder of the release's files");
    if (!publication.manifest.empty() && !fs::is_regular_file(publication.manifest))
        throw CQXUsageError("--manifest " + publication.manifest.string() + " is not a file");
    if (!fs::is_directory(publication.root / "releases"))
        throw std::runtime_error(publication.root.string() +
                                 " is not a site: it has no releases/ folder");
    const int result = CQXPublisher(publication, m_out).Run();
    // The frames are made now, so that no launcher waits for them.
    const CQXIniFile site((publication.root / "site.ini").string());
    if (result == 0 && site.GetFlag("Updates", "Deltas", false)) {
        CQXReleaseStore releases(publication.root);
        const std::size_t patches = CQXDeltaStore(publication.root, releases)
                                        .Prepare(publication.application, publication.version);
        m_out << patches << " patches from earlier versions\n";
    }
    return result;
}

int CQXSiteCommand::RunPreview(const std::vector<std::string>& words) {
    const CQXArguments args(words, {}, {"root", "user", "app"});
    const fs::path root = Root(args, "preview");
    if (!args.Has("user"))
        throw CQXUsageError("preview needs --user NAME");
    return CQXSitePreview(root, m_out).Run(args.Get("user"), args.Get("app"));
}
