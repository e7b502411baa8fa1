#pragma once

#include <filesystem>
#include <string>

// Keeps a file in use the way a running program of the file set does: on Linux the file is a
// copy of a real program that runs until the object goes; on Windows it is held open without
// write sharing. Created gives whether that worked.
class BusyFile {
public:
    explicit BusyFile(const std::filesystem::path& path);
    ~BusyFile();
    BusyFile(const BusyFile&) = delete;
    BusyFile& operator=(const BusyFile&) = delete;

    bool Created() const { return m_created; }

private:
    bool m_created = false;
    long long m_handle = -1; // the program's process id, or the open file's handle
};

// Makes an existing file refuse writers, the super-user included, until the object goes:
// the read-only attribute on Windows; on Linux a mode without write permission, or for the
// super-user (whom modes do not stop) the immutable flag. Why() is empty when writers are
// refused now and otherwise says why this system cannot do it.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::filesystem::path& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    const std::string& Why() const { return m_why; }

private:
    std::filesystem::path m_path;
    std::string m_why;
};
