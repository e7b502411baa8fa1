// Reading a large qxurl.net: the time and peak memory of CQXUrlParser::SetInstallationPath and
// of the configuration dump, for a file of N numbered server keys or one of a given size.
// Run: build/linux-release/bench/qx_bench_url_config keys 20000
//      build/linux-release/bench/qx_bench_url_config megabytes 200
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "config/QXConfigDump.h"
#include "config/QXUrlParser.h"

namespace {

namespace fs = std::filesystem;

// [Config] with URL1 .. URLn, then the switches.
void WriteKeys(const fs::path& file, long count) {
    std::ofstream out(file, std::ios::binary);
    out << "[Config]\r\n";
    for (long n = 1; n <= count; ++n)
        out << "URL" << n << "=http://server" << n << ".example:8080/qx/\r\n";
    out << "SSO=Yes\r\n[QXLauncher]\r\nApplicationName=flux\r\n";
}

// Three servers and the switches, then filler keys up to the size: what a file that grew by
// mistake (or a hostile one) looks like.
void WriteSize(const fs::path& file, long megabytes) {
    std::ofstream out(file, std::ios::binary);
    out << "[Config]\r\nURL1=http://one/\r\nURL2=http://two/\r\nURL3=http://three/\r\n"
           "[QXLauncher]\r\nApplicationName=flux\r\n[Filler]\r\n";
    const std::string line = "Key=" + std::string(60, 'v') + "\r\n";
    for (long written = 0; written < megabytes * 1024 * 1024;
         written += static_cast<long>(line.size()))
        out << line;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s keys N | megabytes N\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const long amount = std::atol(argv[2]);
    const fs::path folder =
        fs::temp_directory_path() / ("qx-url-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "qxurl.net";
    if (mode == "keys")
        WriteKeys(file, amount);
    else
        WriteSize(file, amount);

    auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    CQXUrlParser parser;
    parser.SetInstallationPath(folder.wstring());
    const double parse = Seconds(start);
    const double cpu = CpuSeconds() - cpuStart;
    start = std::chrono::steady_clock::now();
    std::wstring dump;
    QXReadConfigurationDump(file.wstring(), dump);
    const double dumpSeconds = Seconds(start);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s %ld: file %.1f MB, servers %d, SetInstallationPath %.3f s (CPU %.3f s), "
                "dump %.3f s (%zu characters), peak RSS %.1f MB\n",
                mode.c_str(), amount, static_cast<double>(fs::file_size(file)) / 1e6,
                parser.GetServerList().GetCount(), parse, cpu, dumpSeconds, dump.size(),
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    fs::remove_all(folder);
    return 0;
}
