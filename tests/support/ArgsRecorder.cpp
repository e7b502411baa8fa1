// A program for the tests of program starts. It writes the arguments it received (without
// its own name), one a line, to its own path + ".args", and ends with exit code 7. While a
// file named its own path + ".wait" exists it waits (a minute at most) before it ends.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/System.h"
#include "platform/Text.h"

namespace {

constexpr int kExitCode = 7;

int Record(const std::vector<std::wstring>& arguments) {
    const std::filesystem::path self(qxplat::ModulePath());
    std::string text;
    for (const std::wstring& argument : arguments) {
        qxplat::AppendLogText(text, argument);
        text.push_back('\n');
    }
    // Written aside and renamed, so that a reader never sees half of it.
    std::filesystem::path partial = self;
    partial += ".args.partial";
    std::ofstream(partial, std::ios::binary) << text;
    std::filesystem::path done = self;
    done += ".args";
    std::filesystem::rename(partial, done);

    std::filesystem::path wait = self;
    wait += ".wait";
    for (int i = 0; i < 3000 && std::filesystem::exists(wait); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return kExitCode;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Record({argv + 1, argv + argc}); }
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(qxplat::FromNarrow(argv[i]));
    return Record(arguments);
}
#endif
