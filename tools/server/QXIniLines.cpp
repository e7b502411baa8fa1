#include "QXIniLines.h"

#include <fstream>
#include <iterator>

#include "platform/IniText.h"
#include "platform/Text.h"

using namespace qxplat::ini;

CQXIniLines::CQXIniLines(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    m_loaded = true;
    const FileEncoding detected = DetectEncoding(bytes);
    std::string_view rest(bytes);
    rest.remove_prefix(detected.markLength);
    int number = 0;
    for (RawLine line; NextLine(rest, detected.encoding, line);) {
        ++number;
        const Span all = Trim(line.body, detected.encoding, {0, line.body.size()});
        const std::string text = qxplat::ToNarrow(Decode(Slice(line.body, all), detected.encoding));
        if (text.empty() || text[0] == ';' || text[0] == '#')
            continue;
        if (const auto section = SectionName(line.body, detected.encoding)) {
            m_sections.push_back({qxplat::ToNarrow(*section), number, {}});
            continue;
        }
        const KeyLine key = ParseKeyLine(line.body, detected.encoding);
        if (!key.value) {
            m_stray.push_back(number);
            continue;
        }
        SQXIniKey entry{qxplat::ToNarrow(Decode(Slice(line.body, key.name), detected.encoding)),
                        qxplat::ToNarrow(Decode(Slice(line.body, *key.value), detected.encoding)),
                        number};
        (m_sections.empty() ? m_loose : m_sections.back().keys).push_back(entry);
    }
}
