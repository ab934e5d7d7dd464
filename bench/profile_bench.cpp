// The settings read at saver start-up on a large profile: LoadSettings (three reads and the write of
// EternalFire) on a file of 10 MB of blank lines or comments with the section at its very end, the worst
// place for it.
//
// Counters: ms (one LoadSettings, wall time: reading the file is part of the cost), rss_growth_mb (how far
// the process's peak resident memory rose over the file's size, measured across the first call) and
// file_mb. "changed" runs make the saver's write replace the file each time; "unchanged" ones find the
// value already there.

#include "platform/posix/headless/headless.h"
#include "settings/settings_store.h"
#include "tests/support/sandbox.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;

double PeakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// A profile of about `bytes` filler lines, written in chunks so that making it costs no memory.
fs::path MakeProfile(const fs::path &dir, size_t bytes, const std::string &filler_line) {
    fs::create_directories(dir);
    const fs::path file = dir / kProfileFile;
    FILE *f = std::fopen(file.c_str(), "wb");
    std::string chunk;
    while (chunk.size() < (1u << 20))
        chunk += filler_line;
    for (size_t done = 0; done < bytes; done += chunk.size())
        std::fwrite(chunk.data(), 1, chunk.size(), f);
    std::fputs("[SCRWARPVUE_SECTION]\nDispType=4\nDispRobo=1\nEternalFire=0\n", f);
    std::fclose(f);
    return file;
}

void BM_LoadSettings(benchmark::State &state, const std::string &filler, bool changed) {
    const test::Sandbox sandbox;
    if (!sandbox.ok()) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const fs::path dir = sandbox.config();
    const fs::path file = MakeProfile(dir, size_t(state.range(0)) << 20, filler);
    const double file_mb = double(fs::file_size(file)) / (1 << 20);
    const double rss_before = PeakRssMb();
    double rss_growth = -1;
    double total_ms = 0;
    int runs = 0;
    for (auto _ : state) {
        if (changed) // text that reads as 0 but is not "0": LoadSettings writes it back as "0"
            WritePrivateProfileStringA(kProfileSection, "EternalFire", "00", kProfileFile);
        auto start = std::chrono::steady_clock::now();
        LoadSettings();
        total_ms +=
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (rss_growth < 0) rss_growth = PeakRssMb() - rss_before;
        benchmark::DoNotOptimize(g_app.settings.DispType);
        ++runs;
    }
    if (g_app.settings.DispType != 4) state.SkipWithError("the section at the end was not found");
    state.counters["ms"] = total_ms / runs;
    state.counters["rss_growth_mb"] = rss_growth;
    state.counters["file_mb"] = file_mb;
}

BENCHMARK_CAPTURE(BM_LoadSettings, blank_unchanged, std::string("\n"), false)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_LoadSettings, blank_changed, std::string("\n"), true)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_LoadSettings, comments_changed, std::string("; a comment line of some length\r\n"), true)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace

BENCHMARK_MAIN();
