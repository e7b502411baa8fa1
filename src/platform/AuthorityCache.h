#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// The per-process cache of authority bundles that both platforms' AuthorityFile share: each
// path is read once, by read, and kept for the process. Set has certificates and problem.
namespace qxplat {

template <typename Set>
std::shared_ptr<const Set>
CachedAuthorities(const std::wstring& path,
                  std::shared_ptr<const Set> (*read)(const std::wstring&)) {
    static std::mutex lock;
    static auto* loaded = new std::map<std::wstring, std::shared_ptr<const Set>>;
    std::lock_guard<std::mutex> hold(lock);
    std::shared_ptr<const Set>& set = (*loaded)[path];
    if (!set)
        set = read(path);
    return set;
}

// ReadAuthorityFile's answer for set.
template <typename Set>
bool DescribeAuthorities(const Set& set, std::size_t& count, std::wstring& problem) {
    count = set.certificates.size();
    problem = set.problem;
    return count > 0;
}

} // namespace qxplat
