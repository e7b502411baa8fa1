#include "base/QXLanguage.h"

namespace {
constexpr std::uint16_t kPrimaryFrench = 0x0C;
constexpr std::uint16_t kPrimaryJapanese = 0x11;
} // namespace

QXLanguageBase QXLanguageBaseFor(std::uint16_t languageId) {
    switch (languageId & 0xFF) {
    case kPrimaryFrench:
        return kQXFrenchBase;
    case kPrimaryJapanese:
        return kQXJapaneseBase;
    default:
        return kQXEnglishBase;
    }
}

const wchar_t* QXLanguageCode(QXLanguageBase base) {
    switch (base) {
    case kQXFrenchBase:
        return L"fr";
    case kQXJapaneseBase:
        return L"ja";
    default:
        return L"en";
    }
}
