#include "support/FakeProgram.h"

#include <gtest/gtest.h>

#include "platform/System.h"
#include "support/QxServer.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

std::string FakeProgramName(const std::string& stem) { return stem + QX_EXE_SUFFIX; }

void PlaceFakeProgram(const fs::path& folder, const std::string& stem, const std::string& script) {
    // The stand-in is built beside the test program.
    const fs::path source = fs::path(qxplat::ModulePath()).parent_path() / QX_FAKE_PROGRAM_FILE;
    std::error_code error;
    fs::copy_file(source, folder / FakeProgramName(stem), fs::copy_options::overwrite_existing,
                  error);
    ASSERT_FALSE(error) << source << ": " << error.message();
    if (!script.empty())
        WriteBytes(folder / (stem + "-verdict.txt"), script);
}

std::string FakeVerdictScript(int pauseMs, const std::string& verdict) {
    static const char digits[] = "0123456789ABCDEF";
    std::string script = std::to_string(pauseMs) + " ";
    for (unsigned char c : verdict) {
        script += digits[c >> 4];
        script += digits[c & 15];
    }
    return script + "\n";
}

std::string FakeExitScript(int pauseMs) { return std::to_string(pauseMs) + " exit\n"; }

std::string FakeArguments(const fs::path& folder, const std::string& stem) {
    const fs::path file = folder / (stem + "-args.txt");
    return fs::exists(file) ? ReadBytes(file) : std::string();
}

bool WaitForFakeArguments(const fs::path& folder, const std::string& stem) {
    return WaitUntil([&] { return !FakeArguments(folder, stem).empty(); });
}
