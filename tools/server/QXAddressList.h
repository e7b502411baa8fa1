#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The front servers a server trusts to name their client in "X-Real-IP": single addresses and
// CIDR ranges, IPv4 and IPv6. An IPv4 address mapped into IPv6 (::ffff:a.b.c.d) counts as IPv4.
class CQXAddressList {
public:
    // Adds the entries of list, separated by commas (blanks around them ignored), e.g.
    // "10.0.0.1, 10.1.0.0/16, fd00::/8". Throws CQXUsageError naming the first entry that is
    // not an address or a range; nothing is added then.
    void Add(const std::string& list);
    bool Empty() const { return m_ranges.empty(); }
    // True when address (as the socket names it) lies in one of the entries.
    bool Contains(const std::string& address) const;

private:
    struct Range {
        bool v6 = false;
        std::array<std::uint8_t, 16> bytes{};
        int prefix = 0;
    };
    std::vector<Range> m_ranges;
};

// The address as canonical text (an IPv4 address mapped into IPv6 as IPv4), at most 45 bytes;
// nullopt for text that is not one address.
std::optional<std::string> QXCanonicalAddress(const std::string& text);

// The key of an address for the login back-off: an IPv4 address as it is, an IPv6 address as
// its /64 network (one client holds a whole /64), an IPv4 address mapped into IPv6 as IPv4;
// text that is not an address as it is.
std::string QXClientKey(const std::string& text);
