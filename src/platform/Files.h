#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace qxplat {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file with a C library mode ("rb", "ab", "wb", ...) so that other processes may
// still read and write it. Null on failure, with LastError() set.
FilePtr OpenShared(const std::wstring& path, const char* mode);

// Reads a whole file, shared as OpenShared opens it. False when it cannot be opened.
inline bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    const FilePtr file = OpenShared(path, "rb");
    if (!file)
        return false;
    bytes.clear();
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file.get())) > 0;)
        bytes.append(block, n);
    return true;
}

// Creates one directory level. False when it fails, including when it already exists.
bool MakeDirectory(const std::wstring& path);

} // namespace qxplat
