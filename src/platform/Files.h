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

// A file name as this system's file systems tell names apart: letter case folded on Windows,
// the name as written on Linux, where "a.txt" and "A.txt" are two files.
std::wstring FileNameKey(const std::wstring& name);

// Lets the file at path run as a program: on Linux each class that may read it may run it
// (0644 becomes 0755, 0640 0750), as the user's file-creation mask allowed the reading. Nothing
// to do on Windows. False, with LastError() set, when the mode cannot be changed.
bool MakeExecutable(const std::wstring& path);

// Gives copy, about to take the place of replaced, the permissions of replaced: on Linux its
// mode, plus the run bits copy has for the classes that may read it (a program stays one, and
// a copy made runnable stays so); on Windows its read-only attribute. Nothing changes when
// either file cannot be read.
void KeepReplacedMode(const std::wstring& replaced, const std::wstring& copy);

} // namespace qxplat
