#include "support/InstallationTree.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <thread>

#include "platform/DurableFiles.h"
#include "platform/System.h"
#include "update/QXLInstallJournal.h"

namespace fs = std::filesystem;

namespace {

// The test program lies in <build>/tests, the installer in <build>/tools/installer.
fs::path BuildFolder() { return fs::path(qxplat::ModulePath()).parent_path().parent_path(); }

bool Skipped(const std::string& path) {
    const std::string first = path.substr(0, path.find('/'));
    return first == "_QXLTmp" || first == "LOG" || first == "QXLauncher.ini" ||
           first == "qxinstaller.lock" || first == InstallationTree::ProgramName("QXInstaller");
}

} // namespace

void InstallationTree::SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

std::string InstallationTree::Summary(const std::string& bytes) {
    if (bytes.size() <= 64)
        return bytes;
    return "<" + std::to_string(bytes.size()) + " bytes, hash " +
           std::to_string(std::hash<std::string>()(bytes)) + ">";
}

InstallationTree::InstallationTree() {
    fs::copy_file(BuildFolder() / "tools" / "installer" / ProgramName("QXInstaller"),
                  Dst() / ProgramName("QXInstaller"));
    WriteBytes(Dst() / "QXLauncher.ini", "[LOG]\r\nactivateLog=1\r\ndebug=1\r\n");
    fs::create_directory(Tmp());
}

bool InstallationTree::OnWindows() { return fs::path(qxplat::ModulePath()).extension() == ".exe"; }

std::string InstallationTree::ProgramName(const std::string& name) {
    return OnWindows() ? name + ".exe" : name;
}

std::wstring InstallationTree::DstText() const { return Dst().wstring() + qxplat::kPathSeparator; }

void InstallationTree::Put(const fs::path& root, const std::string& name,
                           const std::string& bytes) {
    const fs::path path = root / fs::path(name).make_preferred();
    fs::create_directories(path.parent_path());
    WriteBytes(path, bytes);
}

void InstallationTree::PutProgram(const fs::path& root, const std::string& name) {
    const fs::path path = root / fs::path(name).make_preferred();
    fs::create_directories(path.parent_path());
    fs::copy_file(fs::path(qxplat::ModulePath()).parent_path() / ProgramName("qx_pipe_peer"), path,
                  fs::copy_options::overwrite_existing);
}

void InstallationTree::PutComponent(const fs::path& root, const std::string& name) {
    if (!OnWindows()) {
        Put(root, name, "component");
        return;
    }
    const fs::path path = root / fs::path(name).make_preferred();
    fs::create_directories(path.parent_path());
    fs::copy_file(fs::path(qxplat::ModulePath()).parent_path() / "qx_component.dll", path,
                  fs::copy_options::overwrite_existing);
}

void InstallationTree::WriteInstructions(const std::string& sections) const {
    const std::string dst = Dst().string() + static_cast<char>(qxplat::kPathSeparator);
    WriteBytes(Tmp() / "qxinstaller.txt",
               "[Config]\r\nApplicationLabel = Test\r\nDst = " + dst + "\r\nSrc = " + dst +
                   "_QXLTmp" + static_cast<char>(qxplat::kPathSeparator) + "\r\n" + sections);
}

qxplat::Process InstallationTree::Start(const std::wstring& argument,
                                        const std::string& fault) const {
    if (argument.empty())
        return Start(std::vector<std::wstring>{}, fault);
    return Start(std::vector<std::wstring>{argument}, fault);
}

qxplat::Process InstallationTree::Start(const std::vector<std::wstring>& arguments,
                                        const std::string& fault) const {
    const std::wstring program = (Dst() / ProgramName("QXInstaller")).wstring();
    std::vector<std::wstring> all{program};
    std::wstring line = L"\"" + program + L"\"";
    for (const std::wstring& argument : arguments) {
        all.push_back(argument);
        line += L" " + argument;
    }
    SetEnvironment("QXINSTALLER_FAULT", fault);
    auto process = qxplat::StartProcess(line, all);
    SetEnvironment("QXINSTALLER_FAULT", "");
    if (!process)
        throw std::runtime_error("cannot start the installer");
    return std::move(*process);
}

int InstallationTree::Run(const std::wstring& argument, const std::string& fault) const {
    return Start(argument, fault).WaitForExit(std::chrono::minutes(2)).value_or(-1);
}

int InstallationTree::RunToCrash(const std::string& fault) const {
    const int code = Run(L"", fault);
    const std::wstring lock = CQXLInstallJournal::LockPath(DstText());
    for (int wait = 0; wait < 600; ++wait) {
        if (qxplat::TryLockFile(lock))
            return code;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return -1;
}

InstallationTree::Snapshot InstallationTree::Take() const {
    Snapshot snapshot;
    for (const auto& entry : fs::recursive_directory_iterator(Dst())) {
        const std::string name = fs::relative(entry.path(), Dst()).generic_string();
        if (Skipped(name))
            continue;
        snapshot[name] = entry.is_directory() ? "<folder>" : Summary(ReadBytes(entry.path()));
    }
    return snapshot;
}

std::string InstallationTree::Log() const {
    std::string text;
    if (fs::is_directory(Dst() / "LOG"))
        for (const auto& entry : fs::directory_iterator(Dst() / "LOG"))
            text += ReadBytes(entry.path());
    return text;
}

std::string InstallationTree::LastRunLog() const {
    const std::string text = Log();
    const std::size_t begin = text.rfind("/// Begin QXInstaller");
    return begin == std::string::npos ? text : text.substr(text.rfind('\n', begin) + 1);
}
