// The table of display backends: which one is chosen, and how the layer drives a display that finishes
// captures and window configurations later and paces frames (a compositor's way), through a test
// backend made from the headless one.

#include "support.h"

#include <cstring>

namespace {

// --- The choice ---

struct Probe {
    bool opens;
    const char *reason;
};
Probe g_probes[3];
unsigned long g_hosted_in = 0;
template <int I> bool ProbeOpen(const char **why) {
    *why = g_probes[I].reason;
    return g_probes[I].opens;
}
void TakeHost(unsigned long window) {
    g_hosted_in = window;
}

TEST(DisplayChoice, ForcedByNameElseTheFirstThatOpens) {
    const backend::DisplayBackend a{.name = "a", .open = ProbeOpen<0>};
    const backend::DisplayBackend b{.name = "b", .open = ProbeOpen<1>, .use_host_window = TakeHost};
    const backend::DisplayBackend c{.name = "c", .open = ProbeOpen<2>, .use_host_window = TakeHost};
    const backend::DisplayBackend *const table[] = {&a, &b, &c};
    struct Case {
        Probe a, b, c;
        const char *forced;
        bool hosted;
        const backend::DisplayBackend *chosen;
        const char *why; // the start of the reason given, when none is chosen
    } const kCases[] = {
        {{true, nullptr}, {true, nullptr}, {true, nullptr}, nullptr, false, &a, nullptr},
        {{false, "a is missing"}, {true, nullptr}, {true, nullptr}, "", false, &b, nullptr},
        {{true, nullptr}, {true, nullptr}, {true, nullptr}, "c", false, &c, nullptr},
        // A host window: only the backends that can live in one, given it before they open.
        {{true, nullptr}, {false, nullptr}, {true, nullptr}, nullptr, true, &c, nullptr},
        {{true, nullptr}, {true, nullptr}, {true, nullptr}, "a", true, nullptr, "the a backend cannot run"},
        // The first reason given is the one told; a forced backend that fails is not replaced.
        {{false, nullptr}, {false, "b says"}, {false, "c says"}, nullptr, false, nullptr, "b says"},
        {{true, nullptr}, {false, "b says"}, {true, nullptr}, "b", false, nullptr, "b says"},
        {{false, nullptr}, {false, nullptr}, {false, nullptr}, nullptr, false, nullptr, "no display to run"},
        {{true, nullptr},
         {true, nullptr},
         {true, nullptr},
         "wayland",
         false,
         nullptr,
         "no display backend named \"wayland\" (this build has: a b c)"},
    };
    for (const Case &k : kCases) {
        SCOPED_TRACE(testing::Message() << (k.forced ? k.forced : "(none)") << (k.hosted ? " hosted" : ""));
        g_probes[0] = k.a, g_probes[1] = k.b, g_probes[2] = k.c;
        g_hosted_in = 0;
        const char *why = "unset";
        EXPECT_EQ(backend::choose_display(table, 3, k.forced, k.hosted, 0x2a, &why), k.chosen);
        if (k.chosen) {
            EXPECT_EQ(why, nullptr);
        } else {
            ASSERT_NE(why, nullptr);
            EXPECT_EQ(std::strncmp(why, k.why, std::strlen(k.why)), 0) << why;
        }
        EXPECT_EQ(g_hosted_in, k.hosted && k.chosen ? 0x2aul : 0ul);
    }
    // A backend that reaches its display and refuses it, when its refusal ends the choice (Wayland's,
    // beside an Xwayland DISPLAY), keeps the next from being tried; failing quietly, it does not.
    backend::DisplayBackend ends = b;
    ends.refusal_ends_choice = true;
    const backend::DisplayBackend *const stopping[] = {&a, &ends, &c};
    g_probes[0] = {false, nullptr}, g_probes[1] = {false, "b says"}, g_probes[2] = {true, nullptr};
    const char *why = nullptr;
    EXPECT_EQ(backend::choose_display(stopping, 3, nullptr, false, 0, &why), nullptr);
    EXPECT_STREQ(why, "b says");
    EXPECT_EQ(backend::choose_display(stopping, 3, "c", false, 0, &why), &c);
    g_probes[1] = {false, nullptr};
    EXPECT_EQ(backend::choose_display(stopping, 3, nullptr, false, 0, &why), &c);
}

// --- A display that finishes later ---

// What the test backend does and saw. Its polls answer Pending so many times, then Done.
struct Compositor {
    int polls_to_capture = 0, polls_to_configure = 0;
    bool refuse_capture = false, frame_ready = true, buffer_free = true;
    uint32_t *dst = nullptr;
    int dst_stride = 0, cx = 0, cy = 0, cw = 0, ch = 0, waits = 0, cancels = 0;
    std::vector<RECT> presented;
    uint32_t presented_px = 0; // the surface's first pixel at the last present
};
Compositor g_c;

backend::DisplayBackend Fake() {
    backend::DisplayBackend d = backend::display(); // headless, for everything not replaced
    d.capture_begin = [](int x, int y, int w, int h, uint32_t *dst, int stride) {
        g_c.dst = dst, g_c.dst_stride = stride, g_c.cx = x, g_c.cy = y, g_c.cw = w, g_c.ch = h;
        return g_c.refuse_capture ? backend::Progress::Refused : backend::Progress::Pending;
    };
    d.capture_poll = [] {
        if (g_c.polls_to_capture-- > 0) return backend::Progress::Pending;
        for (int r = 0; r < g_c.ch; ++r)
            for (int i = 0; i < g_c.cw; ++i)
                g_c.dst[size_t(r) * g_c.dst_stride + i] = uint32_t((g_c.cy + r) << 8 | (g_c.cx + i));
        return backend::Progress::Done;
    };
    d.capture_cancel = [] { ++g_c.cancels; };
    d.create_window = [](HWND, int, int, int, int, unsigned long, Surface *) {
        return backend::Progress::Pending;
    };
    d.window_configured = [](HWND, Surface *surf) {
        if (g_c.polls_to_configure-- > 0) return backend::Progress::Pending;
        *surf = Surface{nullptr, 40, 30, 0};
        return backend::Progress::Done;
    };
    d.destroy_window = [](HWND, Surface *) {};
    d.present = [](HWND, const Surface &s, int x, int y, int w, int h) {
        if (!g_c.buffer_free) return false;
        g_c.presented.push_back(RECT{x, y, x + w, y + h});
        g_c.presented_px = s.px[0];
        return true;
    };
    d.frame_ready = [](HWND) { return g_c.frame_ready; };
    d.wait_events = [](int timeout_ms, int) {
        ++g_c.waits;
        headless::advance(timeout_ms < 0 ? 10 : std::min(timeout_ms, 10));
    };
    return d;
}

class DisplayLater : public test::SaverTest {
  protected:
    void SetUp() override {
        test::SaverTest::SetUp();
        g_c = Compositor{};
        fake_ = Fake();
        backend::set_display(&fake_);
    }
    void TearDown() override {
        backend::set_display(nullptr);
        test::SaverTest::TearDown();
    }
    backend::DisplayBackend fake_;
};

TEST_F(DisplayLater, ACaptureIsWaitedForUpToItsDeadline) {
    struct Case {
        int polls;
        bool refuse;
        bool arrives;
        int cancels;
    } const kCases[] = {{4, false, true, 0}, {1 << 20, false, false, 1}, {0, true, false, 0}};
    for (const Case &k : kCases) {
        SCOPED_TRACE(k.polls);
        g_c = Compositor{};
        g_c.polls_to_capture = k.polls, g_c.refuse_capture = k.refuse;
        // The screen's rectangle (2, 1, 5, 3) into a bitmap; as on Windows, what cannot be read is black.
        HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
        HBITMAP bm = CreateCompatibleBitmap(screen, 5, 3);
        SelectObject(mem, bm);
        EXPECT_EQ(BitBlt(mem, 0, 0, 5, 3, screen, 2, 1, SRCCOPY), TRUE);
        // The test display's pixels carry y in green and x in blue.
        EXPECT_EQ(GetPixel(mem, 0, 0), k.arrives ? RGB(0, 1, 2) : 0u);
        EXPECT_EQ(GetPixel(mem, 4, 2), k.arrives ? RGB(0, 3, 6) : 0u);
        EXPECT_EQ(g_c.cancels, k.cancels);
        EXPECT_EQ(g_c.waits, k.refuse ? 0 : k.arrives ? k.polls : 300); // 3 s in steps of 10 ms
        DeleteDC(mem);
        DeleteObject(bm);
        ReleaseDC(nullptr, screen);
    }
}

TEST_F(DisplayLater, AWindowTakesTheConfiguredSizeAndItsPushesWaitForTheFrame) {
    g_c.polls_to_configure = 3; // then 40 x 30
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Later";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "Later", "", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(g_c.waits, 3);
    RECT rc{};
    GetClientRect(hwnd, &rc);
    EXPECT_EQ((std::vector<LONG>{rc.right, rc.bottom}), (std::vector<LONG>{40, 30}));
    ShowWindow(hwnd, SW_SHOW);
    g_c.presented.clear();

    // Not ready for a frame, then no free buffer: both pushes stay held back, merged.
    g_c.frame_ready = false;
    HBRUSH white = HBRUSH(GetStockObject(WHITE_BRUSH));
    const RECT a{1, 2, 5, 6}, b{30, 20, 50, 40};
    HDC dc = GetDC(hwnd);
    FillRect(dc, &a, white);
    ReleaseDC(hwnd, dc);
    g_c.frame_ready = true, g_c.buffer_free = false;
    dc = GetDC(hwnd);
    FillRect(dc, &b, white);
    SetPixel(dc, 0, 0, RGB(0, 0, 9));
    ReleaseDC(hwnd, dc);
    EXPECT_TRUE(g_c.presented.empty());

    // The next message boundary presents it from the layer's own pixels, clipped to the window.
    g_c.buffer_free = true;
    PostMessageA(hwnd, 0x0400, 0, 0); // WM_USER
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    ASSERT_EQ(g_c.presented.size(), 1u);
    const RECT &p = g_c.presented[0];
    EXPECT_EQ((std::vector<LONG>{p.left, p.top, p.right, p.bottom}), (std::vector<LONG>{0, 0, 40, 30}));
    EXPECT_EQ(g_c.presented_px, 9u);
    DestroyWindow(hwnd);
}

} // namespace
