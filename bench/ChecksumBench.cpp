// The file checksum against the limits it works within: a plain read of the same memory,
// the byte-at-a-time definition, and, for the up-to-date check, plain 64 KiB reads of the
// same cached file, both timed by the clock (the check reads parts of a large file on further
// threads, whose time a per-thread CPU clock would not see). Run:
// build/linux-release/bench/qx_bench_checksum
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "update/QXChecksum.h"
#include "update/QXChecksumLanes.h"
#include "update/QXLFile.h"

namespace {

constexpr std::size_t kBufferBytes = 64u << 20; // well beyond the caches

const std::vector<unsigned char>& Buffer() {
    static const std::vector<unsigned char> buffer = [] {
        std::vector<unsigned char> bytes(kBufferBytes);
        std::mt19937 random(1);
        for (auto& b : bytes)
            b = static_cast<unsigned char>(random());
        return bytes;
    }();
    return buffer;
}

void MemoryRead(benchmark::State& state) {
    const auto& buffer = Buffer();
    for (auto _ : state) {
        // Four independent sums of 64-bit words: the loads, not the adds, set the pace.
        std::uint64_t sums[4] = {};
        for (std::size_t i = 0; i + 32 <= buffer.size(); i += 32) {
            std::uint64_t words[4];
            std::memcpy(words, buffer.data() + i, sizeof words);
            for (int k = 0; k < 4; ++k)
                sums[k] += words[k];
        }
        benchmark::DoNotOptimize(sums);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(MemoryRead)->Unit(benchmark::kMillisecond);

// Runs sum over the whole buffer per iteration and reports the bytes it went through.
template <typename Sum>
void OverBuffer(benchmark::State& state, Sum sum) {
    const auto& buffer = Buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(sum(0u, buffer.data(), buffer.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}

void ChecksumReference(benchmark::State& state) { OverBuffer(state, &QXChecksumReference); }
BENCHMARK(ChecksumReference)->Unit(benchmark::kMillisecond);

void ChecksumFast(benchmark::State& state) { OverBuffer(state, &QXChecksumFast); }
BENCHMARK(ChecksumFast)->Unit(benchmark::kMillisecond);

// Each form this processor runs: 0 is the one QXChecksumFast picks.
void ChecksumForm(benchmark::State& state) {
    const auto forms = QXChecksumAvailableForms();
    const auto index = static_cast<std::size_t>(state.range(0));
    if (index >= forms.size()) {
        state.SkipWithError("form not available on this processor");
        return;
    }
    OverBuffer(state, forms[index]);
}
BENCHMARK(ChecksumForm)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// A cached file of the buffer's bytes, and a quiet log, shared by the file benchmarks.
struct CachedFile {
    CachedFile() {
        dir = std::filesystem::temp_directory_path() / "qx-bench-checksum";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "QXLauncher.ini") << "[LOG]\nactivateLog=0\n";
        std::ofstream out(dir / "big.bin", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(Buffer().data()),
                  static_cast<std::streamsize>(Buffer().size()));
    }
    ~CachedFile() { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

CachedFile& File() {
    static CachedFile file;
    return file;
}

void FileRead64K(benchmark::State& state) {
    const auto path = File().dir / "big.bin";
    std::vector<unsigned char> block(64 * 1024);
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::setvbuf(file, nullptr, _IONBF, 0);
        std::size_t total = 0;
        while (const std::size_t n = std::fread(block.data(), 1, block.size(), file))
            total += n;
        std::fclose(file);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferBytes));
}
BENCHMARK(FileRead64K)->Unit(benchmark::kMillisecond)->UseRealTime();

void IsUpToDate(benchmark::State& state) {
    CQXLLog log(File().dir.wstring());
    CQXLFile file(log);
    file.SetFile(L"big.bin", QXChecksumFast(0, Buffer().data(), Buffer().size()),
                 static_cast<std::int32_t>(kBufferBytes), ModeDelta, 0, 0, L"");
    const std::wstring directory = File().dir.wstring() + L"/";
    for (auto _ : state)
        if (file.IsUpToDate(directory) != 1)
            state.SkipWithError("the cached file does not match");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBufferBytes));
}
BENCHMARK(IsUpToDate)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
