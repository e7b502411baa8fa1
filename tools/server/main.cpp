// qxserver: the reference update and login server of the launcher.
#include <iostream>

#include "QXAdminCommand.h"
#include "QXArguments.h"
#include "QXReplySigner.h"
#include "QXRolloutCommand.h"
#include "QXServeCommand.h"
#include "QXSiteCommand.h"
#include "QXUserCommand.h"

namespace {

const char* const kUsage =
    "usage:\n"
    "  qxserver serve --root DIR [--listen HOST:PORT] [--base-path /PATH/] [--db FILE]\n"
    "                 [--tls-cert FILE --tls-key FILE] [--session-lifetime-seconds N]\n"
    "                 [--test-faults] [--utf8-texts (no effect, kept for old scripts)]\n"
    "                 [--accel-redirect /PREFIX/] [--real-ip-from ADDRESS,RANGE,...]\n"
    "                 [--signing-key FILE] [--db-timeout-seconds N]\n"
    "                 [--sso-user-header NAME] [--insecure-sso] [--code-page N]\n"
    "                 [--ldap-url URL (--ldap-user-dn TEMPLATE | --ldap-search-base DN\n"
    "                  --ldap-search-filter FILTER) [--ldap-bind-dn DN\n"
    "                  --ldap-bind-password-file FILE] [--ldap-group-base DN]]\n"
    "  qxserver check --root DIR\n"
    "  qxserver publish --root DIR --app APP --version V --from DIR [--manifest FILE]\n"
    "                 [--make-current]\n"
    "  qxserver preview --root DIR --user NAME [--app APP]\n"
    "  qxserver keygen --out DIR\n"
    "  qxserver user add NAME [--password P] [--token [--new-pin | --next-passcode CODE]]\n"
    "                 [--sso] [--expired] [--group G]... (--db FILE | --root DIR)\n"
    "  qxserver user groups NAME G1,G2 (--db FILE | --root DIR)\n"
    "  qxserver user passwd NAME [--password P] [--expired] (--db FILE | --root DIR)\n"
    "  qxserver user del NAME (--db FILE | --root DIR)\n"
    "  qxserver user list (--db FILE | --root DIR)\n"
    "  qxserver reports [--app APP [--days N]] (--db FILE | --root DIR)\n"
    "  qxserver rollout start --root DIR --app APP --version V [--group G]... [--percent N]\n"
    "                 [--halt-on-failures PCT --min-reports K] [--db FILE]\n"
    "  qxserver rollout set --app APP --percent N (--db FILE | --root DIR)\n"
    "  qxserver rollout halt|resume|status --app APP (--db FILE | --root DIR)\n"
    "  qxserver rollout finish --root DIR --app APP [--db FILE]\n"
    "  qxserver admin add NAME [--password P] (--db FILE | --root DIR)\n"
    "  qxserver admin del NAME | admin list (--db FILE | --root DIR)\n"
    "  qxserver audit (--db FILE | --root DIR)\n"
    "--db takes a SQLite file or a PostgreSQL URI (postgresql://...).\n"
    "Without --password the password is read as one line from standard input.\n";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "--help" || words[0] == "help") {
        std::cout << kUsage;
        return words.empty() ? 2 : 0;
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    try {
        if (words[0] == "serve")
            return CQXServeCommand().Run(rest);
        CQXSiteCommand site(std::cout);
        if (words[0] == "check")
            return site.RunCheck(rest);
        if (words[0] == "publish")
            return site.RunPublish(rest);
        if (words[0] == "preview")
            return site.RunPreview(rest);
        if (words[0] == "keygen") {
            const CQXArguments args(rest, {}, {"out"});
            if (!args.Has("out"))
                throw CQXUsageError("keygen needs --out DIR");
            CQXReplySigner::GenerateKeyPair(args.Get("out"));
            std::cout << args.Get("out") << "/public-key.txt\n";
            return 0;
        }
        if (words[0] == "rollout")
            return CQXRolloutCommand(std::cout, std::cerr).Run(rest);
        CQXAdminCommand admin(std::cin, std::cout, std::cerr);
        if (words[0] == "admin")
            return admin.RunAdmin(rest);
        if (words[0] == "audit")
            return admin.RunAudit(rest);
        CQXUserCommand command(std::cin, std::cout);
        if (words[0] == "user")
            return command.RunUser(rest);
        if (words[0] == "reports")
            return command.RunReports(rest);
        throw CQXUsageError("unknown command " + words[0]);
    } catch (const CQXUsageError& error) {
        std::cerr << "qxserver: " << error.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "qxserver: " << error.what() << '\n';
        return 1;
    }
}
