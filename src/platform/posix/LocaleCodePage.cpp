#include "LocaleCodePage.h"

#include <cstdlib>
#include <string>

#include "platform/Text.h"

namespace qxplat {

namespace {

struct LanguagePage {
    std::string_view language;
    unsigned codePage;
};

// The languages whose Windows locales use another code page than 1252.
constexpr LanguagePage kPages[] = {
    {"bs", 1250}, {"cs", 1250}, {"hr", 1250}, {"hu", 1250}, {"pl", 1250}, {"ro", 1250},
    {"sk", 1250}, {"sl", 1250}, {"sq", 1250}, {"ba", 1251}, {"be", 1251}, {"bg", 1251},
    {"kk", 1251}, {"ky", 1251}, {"mk", 1251}, {"mn", 1251}, {"ru", 1251}, {"tg", 1251},
    {"tt", 1251}, {"uk", 1251}, {"el", 1253}, {"az", 1254}, {"tr", 1254}, {"uz", 1254},
    {"he", 1255}, {"yi", 1255}, {"ar", 1256}, {"fa", 1256}, {"ur", 1256}, {"et", 1257},
    {"lt", 1257}, {"lv", 1257}, {"vi", 1258}, {"th", 874},  {"ja", 932},  {"ko", 949},
};

} // namespace

unsigned CodePageOfLocale(std::string_view locale) {
    const std::size_t end = locale.find_first_of("_.@");
    const std::string_view language = locale.substr(0, end);
    const std::size_t underscore = locale.find('_');
    const std::string_view territory =
        underscore == std::string_view::npos
            ? std::string_view()
            : locale.substr(underscore + 1,
                            locale.find_first_of(".@", underscore) - underscore - 1);
    if (language == "zh")
        return territory == "TW" || territory == "HK" || territory == "MO" ? 950 : 936;
    if (language == "sr")
        return locale.find("@latin") != std::string_view::npos ? 1250 : 1251;
    for (const LanguagePage& entry : kPages) {
        if (entry.language == language)
            return entry.codePage;
    }
    return 1252;
}

unsigned WireCodePage() {
    // The locale's character type decides, as the C library reads it.
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return CodePageOfLocale(value);
    }
    return CodePageOfLocale("C");
}

} // namespace qxplat
