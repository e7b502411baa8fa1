#include "platform/LanguageTexts.h"

#include "platform/Resources.h"
#include "platform/System.h"

QXLanguageBase QXChooseLanguageBase() { return QXLanguageBaseFor(qxplat::UserUILanguage()); }

std::wstring QXLoadText(QXLanguageBase base, unsigned n) {
    return qxplat::LoadText(base + n).value_or(std::wstring());
}
