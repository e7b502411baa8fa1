#include "QXAddressList.h"

#include <arpa/inet.h>
#include <cstring>

#include "QXArguments.h"

namespace {

struct Parsed {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{};
};

constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

std::optional<Parsed> Parse(const std::string& text) {
    Parsed parsed;
    if (inet_pton(AF_INET, text.c_str(), parsed.bytes.data()) == 1)
        return parsed;
    if (inet_pton(AF_INET6, text.c_str(), parsed.bytes.data()) != 1)
        return std::nullopt;
    parsed.v6 = true;
    if (std::memcmp(parsed.bytes.data(), kMappedPrefix, sizeof kMappedPrefix) == 0) {
        std::memmove(parsed.bytes.data(), parsed.bytes.data() + 12, 4);
        std::memset(parsed.bytes.data() + 4, 0, 12);
        parsed.v6 = false;
    }
    return parsed;
}

std::string Text(const Parsed& parsed) {
    char text[INET6_ADDRSTRLEN] = "";
    inet_ntop(parsed.v6 ? AF_INET6 : AF_INET, parsed.bytes.data(), text, sizeof text);
    return text;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A prefix length of 0 to most, in decimal digits only; -1 otherwise.
int PrefixOf(const std::string& text, int most) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int prefix = std::stoi(text);
    return prefix <= most ? prefix : -1;
}

bool SamePrefix(const std::array<std::uint8_t, 16>& a, const std::array<std::uint8_t, 16>& b,
                int prefix) {
    const int whole = prefix / 8;
    if (std::memcmp(a.data(), b.data(), static_cast<std::size_t>(whole)) != 0)
        return false;
    const int rest = prefix % 8;
    if (rest == 0)
        return true;
    const auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
    return (a[whole] & mask) == (b[whole] & mask);
}

} // namespace

void CQXAddressList::Add(const std::string& list) {
    std::vector<Range> added;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const std::string entry = Trimmed(list.substr(start, comma - start));
        const std::size_t slash = entry.find('/');
        const auto parsed = Parse(entry.substr(0, slash));
        Range range;
        if (parsed) {
            range.v6 = parsed->v6;
            range.bytes = parsed->bytes;
            const int most = parsed->v6 ? 128 : 32;
            range.prefix =
                slash == std::string::npos ? most : PrefixOf(entry.substr(slash + 1), most);
        }
        if (!parsed || range.prefix < 0)
            throw CQXUsageError("--real-ip-from takes addresses and ranges like 10.0.0.1, "
                                "10.0.0.0/24 or fd00::/8, not '" +
                                entry + "'");
        added.push_back(range);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    m_ranges.insert(m_ranges.end(), added.begin(), added.end());
}

bool CQXAddressList::Contains(const std::string& address) const {
    const auto parsed = Parse(address);
    if (!parsed)
        return false;
    for (const Range& range : m_ranges) {
        if (range.v6 == parsed->v6 && SamePrefix(range.bytes, parsed->bytes, range.prefix))
            return true;
    }
    return false;
}

std::optional<std::string> QXCanonicalAddress(const std::string& text) {
    const auto parsed = Parse(text);
    if (!parsed)
        return std::nullopt;
    return Text(*parsed);
}

std::string QXClientKey(const std::string& text) {
    auto parsed = Parse(text);
    if (!parsed)
        return text;
    if (!parsed->v6)
        return Text(*parsed);
    std::memset(parsed->bytes.data() + 8, 0, 8);
    return Text(*parsed) + "/64";
}
