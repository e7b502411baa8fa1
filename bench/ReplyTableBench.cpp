// Reading reply tables of growing size, to show that the time grows with the size and not with
// its square: single-column tables (the version list's shape) and eight-column file lists.
// Run: build/linux-release/bench/qx_bench_reply_table
#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

#include "log/QXLLog.h"
#include "protocol/QXLReplyReader.h"
#include "protocol/TDParser.h"

namespace {

std::wstring Table(const std::wstring& header, const std::wstring& row, std::size_t rows) {
    std::wstring body = L"Code=0\r\nCOLONNES=" + header + L"\r\nTBLDATBEGIN_99\r\n";
    body.reserve(body.size() + rows * (row.size() + 2) + 16);
    for (std::size_t i = 0; i < rows; ++i)
        body += row + L"\r\n";
    return body + L"TBLDATEND_99\r\n";
}

// Every value of a one-column table, through the parser alone.
void SingleColumn(benchmark::State& state) {
    const std::wstring body =
        Table(L"VersionName|S", L"1.2.3", static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        CTDParser parser;
        parser.Parse(body);
        std::wstring name;
        while (parser.NextColumnName(name))
            parser.AddColumnType(1);
        std::wstring value;
        std::size_t values = 0;
        while (parser.NextValue(value) != 0)
            ++values;
        benchmark::DoNotOptimize(values);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A whole file list through its reader.
void FileList(benchmark::State& state) {
    const std::wstring body =
        Table(L"FileName|S;FileSize|N;FileChecksum|N;FileMode|S;IsActiveX|B;HasToBeLaunched|B;"
              L"Parameters|S;FilePath|S",
              L"file.dll\t1024\t123456\tupdate\tFALSE\tFALSE\t\tbin",
              static_cast<std::size_t>(state.range(0)));
    // The reader logs only refused rows, and there are none: the log stays empty.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "qx_bench_reply_table";
    std::filesystem::create_directories(folder);
    CQXLLog log(folder.wstring());
    for (auto _ : state)
        benchmark::DoNotOptimize(QXLReplyReader::ReadFileRows(body, log));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(SingleColumn)->RangeMultiplier(4)->Range(5000, 320000)->Unit(benchmark::kMillisecond);
BENCHMARK(FileList)->RangeMultiplier(4)->Range(5000, 320000)->Unit(benchmark::kMillisecond);
