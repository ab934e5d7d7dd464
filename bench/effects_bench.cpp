// The fault renderer at full-screen sizes: each of the eight display types drawn onto a window surface
// of the headless backend, beside a memcpy of one frame measured in the same run.
//
// Counters: ms (one render), ns_per_transfer (BitBlt calls the render made), x_memcpy (one render over
// one frame's memcpy) and transfers (per render). Times are the thread's CPU time: the machines are shared,
// and time spent waiting for a core says nothing about the renderer.

#include "effects/fault_effects.h"
#include "effects/snapshot.h"
#include "host/frame_tick.h"
#include "platform/posix/headless/headless.h"
#include "platform/posix/internal.h"
#include "platform/posix/present.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

// CPU time of this thread, in nanoseconds.
double CpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// A desktop of w x h distinct pixels captured into the snapshot, and a window of the same size to draw on.
struct Scene {
    HWND hwnd = nullptr;
    DrawContext dc{};

    Scene(int w, int h, int type) {
        headless::reset(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                headless::set_screen_pixel(x, y, uint32_t(x * 2654435761u ^ y * 40503u));
        g_app = SaverApp{};
        CaptureDesktop();
        ComputeStageBounds();
        g_app.settings.DispType = type;
        WNDCLASSA wc{};
        wc.lpfnWndProc = PlainProc;
        wc.lpszClassName = "BenchWindow";
        RegisterClassA(&wc);
        hwnd =
            CreateWindowExA(0, "BenchWindow", "", WS_POPUP, 0, 0, w, h, nullptr, nullptr, nullptr, nullptr);
        dc = OpenDrawContext(hwnd);
    }
    ~Scene() {
        CloseDrawContext(hwnd, dc);
        DestroyWindow(hwnd);
        ReleaseSnapshot();
        headless::reset(0, 0);
    }
};

// The best of a few copies of one frame, in nanoseconds: the memory bandwidth of this run.
double MemcpyFrameNs(int w, int h) {
    std::vector<uint32_t> from(size_t(w) * size_t(h), 0x123456), to(from.size(), 0);
    double best = 1e18;
    for (int i = 0; i < 7; ++i) {
        const double t0 = CpuNs();
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        best = std::min(best, CpuNs() - t0);
    }
    return best;
}

void BM_Render(benchmark::State &state) {
    const int w = int(state.range(0)), h = int(state.range(1)), type = int(state.range(2));
    Scene scene(w, h, type);
    if (!scene.hwnd || !g_app.snapshot.picture) {
        state.SkipWithError("could not set up the scene");
        return;
    }
    const double memcpy_ns = MemcpyFrameNs(w, h);
    const uint64_t transfers_before = posix::transfer_count();
    double total_ns = 0;
    for (auto _ : state) {
        const double t0 = CpuNs();
        RenderFaultEffect(scene.dc);
        total_ns += CpuNs() - t0;
        benchmark::ClobberMemory();
    }
    const double iterations = double(state.iterations());
    const double transfers = double(posix::transfer_count() - transfers_before) / iterations;
    const double render_ns = total_ns / iterations;
    state.counters["ms"] = render_ns / 1e6;
    state.counters["ns_per_transfer"] = render_ns / transfers;
    state.counters["x_memcpy"] = render_ns / memcpy_ns;
    state.counters["transfers"] = transfers;
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + " type " + std::to_string(type));
}

void Sizes(benchmark::internal::Benchmark *b) {
    const int sizes[][2] = {{1024, 768}, {1920, 1080}, {3840, 2160}};
    for (const auto &s : sizes)
        for (int type = 1; type <= 8; ++type)
            b->Args({s[0], s[1], type});
    b->ArgNames({"w", "h", "type"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Render)->Apply(Sizes);

} // namespace

BENCHMARK_MAIN();
