#include "platform/Resources.h"

#include "texts/QXTextTable.h"

namespace qxplat {

std::optional<std::array<std::uint16_t, 4>> ProgramFileVersion() {
    return std::array<std::uint16_t, 4>{QX_VERSION_MAJOR, QX_VERSION_MINOR, QX_VERSION_PATCH,
                                        QX_VERSION_TWEAK};
}

std::optional<std::wstring> LoadText(unsigned id) {
    if (const auto text = QXFindCompiledText(id))
        return std::wstring(*text);
    return std::nullopt;
}

} // namespace qxplat
