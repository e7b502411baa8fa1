#include "QXWireText.h"

#include "platform/Text.h"

unsigned QXWireCodePage(const std::string& lang) { return lang == "ja" ? 932 : 1252; }

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
    reply.contentType = QXWireCodePage(lang) == 932 ? "text/plain; charset=Shift_JIS"
                                                    : "text/plain; charset=windows-1252";
}
