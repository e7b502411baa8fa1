#include "QXWireText.h"

#include <atomic>

#include "platform/Text.h"

namespace {
// 0: none set, the page follows each request's "lang".
std::atomic<unsigned> g_siteCodePage{0};
} // namespace

bool QXIsWireCodePage(long long codePage) {
    return codePage == 874 || codePage == 932 || codePage == 936 || codePage == 949 ||
           codePage == 950 || (codePage >= 1250 && codePage <= 1258);
}

void QXSetSiteCodePage(unsigned codePage) { g_siteCodePage = codePage; }

unsigned QXWireCodePage(const std::string& lang) {
    const unsigned site = g_siteCodePage;
    if (site != 0)
        return site;
    return lang == "ja" ? 932 : 1252;
}

std::string QXFromWire(const std::string& bytes, const std::string& lang) {
    return qxplat::ToNarrow(qxplat::FromCodePage(bytes, QXWireCodePage(lang)));
}

std::string QXToWire(const std::string& utf8, const std::string& lang) {
    return qxplat::ToCodePage(qxplat::FromNarrow(utf8), QXWireCodePage(lang));
}

void QXReplyToWire(SQXReply& reply, const std::string& requestLang) {
    // Bodies are UTF-8 until written; one already in a code page is left as it is.
    if (!reply.file.empty() ||
        (reply.contentType != "text/plain" && reply.contentType != "text/plain; charset=UTF-8"))
        return;
    const std::string& lang = reply.textLanguage.empty() ? requestLang : reply.textLanguage;
    reply.body = QXToWire(reply.body, lang);
    const unsigned codePage = QXWireCodePage(lang);
    reply.contentType = codePage == 932 ? "text/plain; charset=Shift_JIS"
                                        : "text/plain; charset=windows-" + std::to_string(codePage);
}
