// One download through the launcher's client, for bench/download-vs-curl, which runs it under
// /usr/bin/time beside curl fetching the same file:
//   qx_bench_download <server URL> <session id> <server file name> <source copy> <work dir>
// The source copy (the server's own file) gives the size and checksum the list would give.
// Prints the seconds the download took.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "config/QXUrlParser.h"
#include "log/QXLLog.h"
#include "platform/System.h"
#include "protocol/QXLDownloader.h"
#include "update/QXChecksum.h"
#include "update/QXLFile.h"
#include "update/QXLFileFetcher.h"

namespace fs = std::filesystem;

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool Describe(const fs::path& source, std::uint32_t& checksum, std::uintmax_t& size) {
    std::ifstream in(source, std::ios::binary);
    std::vector<char> block(1 << 20);
    CQXChecksum sum;
    size = 0;
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        sum.Update(block.data(), static_cast<std::size_t>(in.gcount()));
        size += static_cast<std::uintmax_t>(in.gcount());
    }
    checksum = sum.Value();
    return size > 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s URL SESSION FILE SOURCE WORKDIR\n", argv[0]);
        return 2;
    }
    const fs::path work = argv[5];
    std::uint32_t checksum = 0;
    std::uintmax_t size = 0;
    if (!Describe(argv[4], checksum, size)) {
        std::fprintf(stderr, "cannot read %s\n", argv[4]);
        return 2;
    }
    std::ofstream(work / "qxurl.net") << "[Config]\r\nURL1=" << argv[1] << "\r\n";
    std::ofstream(work / "QXLauncher.ini") << "[LOG]\nactivateLog=1\nerror=1\nwarning=1\n";
    CQXLLog log(work.wstring());
    CQXUrlParser config;
    config.SetInstallationPath(work.wstring());
    CQXLDownloader downloader(log, 0);
    downloader.SetConfiguration(&config);
    downloader.SetSessionId(Wide(argv[2]));
    downloader.SetApplicationName(L"Demo");
    downloader.SetVersionName(L"2.0");
    const std::wstring separator(1, qxplat::kPathSeparator);
    CQXLFileFetcher fetcher(downloader);
    fetcher.CreateDownloadDirectory(work.wstring() + separator, L"_QXLTmp" + separator);
    const fs::path name = argv[3];
    CQXLFile file(log);
    file.SetFile(name.filename().wstring(), checksum, static_cast<std::int32_t>(size), 1, 0, 0,
                 name.has_parent_path() ? name.parent_path().wstring() : L"--");

    const auto start = std::chrono::steady_clock::now();
    const bool done = fetcher.GetAppFile(file, nullptr);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!done) {
        std::fprintf(stderr, "download failed: see %ls\n", log.GetLogFilePath().c_str());
        return 1;
    }
    std::printf("%.3f\n", took.count());
    return 0;
}
