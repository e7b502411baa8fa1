#include "texts/QXTextTable.h"

#include <algorithm>
#include <iterator>

namespace {

#define QX_TEXT(id, text) {id, text},
const QXTextEntry kTexts[] = {
#include "texts/QXTexts.def"
};
#undef QX_TEXT

bool SortedById() {
    return std::is_sorted(std::begin(kTexts), std::end(kTexts),
                          [](const QXTextEntry& a, const QXTextEntry& b) { return a.id < b.id; });
}

} // namespace

const QXTextEntry* QXTextTableBegin() { return std::begin(kTexts); }
const QXTextEntry* QXTextTableEnd() { return std::end(kTexts); }

std::optional<std::wstring_view> QXFindCompiledText(unsigned id) {
    static const bool sorted = SortedById();
    if (!sorted)
        return std::nullopt;
    const auto* it =
        std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                         [](const QXTextEntry& e, unsigned key) { return e.id < key; });
    if (it == std::end(kTexts) || it->id != id)
        return std::nullopt;
    return std::wstring_view(it->text);
}
