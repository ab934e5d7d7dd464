// The fire of the overvoltage fault, tick by tick, with the clock held by the test. The five fire
// bitmaps are replaced by pictures of their real sizes in known colours: a mask with a black
// rectangle for a blob on white, an image black outside that blob (char grey with a board-green strip
// inside), and three opaque flame frames of different colours.

#include "support.h"

#include "host/frame_tick.h"
#include "platform/posix/internal.h"
#include "platform/posix/resources.h"
#include "platform/posix/testing.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>

namespace {

using test::Picture;
using test::SaverTest;

constexpr int kScorchW = ARTWORK_SCORCH_WIDTH, kScorchH = ARTWORK_SCORCH_HEIGHT,
              kFlameW = ARTWORK_FLAME_WIDTH, kFlameH = ARTWORK_FLAME_HEIGHT;
constexpr int kFlameX = 112, kFlameY = 54; // where the flames sit in the scorch, whatever the pictures
constexpr uint32_t kChar = 0x313131, kBoard = 0x20A040;
constexpr uint32_t kFlame[3] = {0xC04010, 0xD06020, 0xE08030};

bool InBlob(int x, int y) {
    return x >= 40 && x < 235 && y >= 20 && y < 300;
}
bool OnBoard(int x, int y) {
    return x >= 120 && x < 200 && y >= 100 && y < 250;
}

std::array<HBITMAP, kFireBitmapCount> MakeFireBitmaps() {
    return {
        Picture(kScorchW, kScorchH, [](int x, int y) { return InBlob(x, y) ? 0u : 0xFFFFFFu; }),
        Picture(kScorchW, kScorchH,
                [](int x, int y) { return !InBlob(x, y)   ? 0u
                                          : OnBoard(x, y) ? kBoard
                                                          : kChar; }),
        Picture(kFlameW, kFlameH, [](int, int) { return kFlame[0]; }),
        Picture(kFlameW, kFlameH, [](int, int) { return kFlame[1]; }),
        Picture(kFlameW, kFlameH, [](int, int) { return kFlame[2]; }),
    };
}

void InstallFireBitmaps() {
    const auto mine = MakeFireBitmaps();
    for (int i = 0; i < kFireBitmapCount; ++i) {
        DeleteObject(g_app.fire[i]);
        g_app.fire[i] = mine[size_t(i)];
    }
}

void RemoveFireBitmap(int i) {
    DeleteObject(g_app.fire[i]);
    g_app.fire[i] = nullptr;
}

bool SamePixels(HBITMAP a, HBITMAP b) {
    HBITMAP x = posix::bitmap_from(a), y = posix::bitmap_from(b);
    if (!x || !y || x->surf.w != y->surf.w || x->surf.h != y->surf.h) return false;
    posix::decode_later_dib(x); // the program's own bitmaps have pixels from their first selection on
    posix::decode_later_dib(y);
    for (int row = 0; row < x->surf.h; ++row)
        if (!std::equal(x->surf.px + row * x->surf.stride, x->surf.px + row * x->surf.stride + x->surf.w,
                        y->surf.px + row * y->surf.stride))
            return false;
    return true;
}

struct DesktopPattern : SaverTest {
    using SaverTest::Desktop;
};

// What the window should show, built from the desktop by the meaning of each drawing.
struct Screen {
    int w, h;
    std::vector<uint32_t> px;

    Screen(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * size_t(h_)) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                px[size_t(y) * size_t(w) + size_t(x)] = DesktopPattern::Desktop(x, y);
    }
    void Set(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * size_t(w) + size_t(x)] = c;
    }
    // The hole: inside the blob the image replaces the screen; elsewhere the screen stays.
    Screen &Scorch(int ox, int oy) {
        for (int y = 0; y < kScorchH; ++y)
            for (int x = 0; x < kScorchW; ++x)
                if (InBlob(x, y)) Set(ox + x, oy + y, OnBoard(x, y) ? kBoard : kChar);
        return *this;
    }
    Screen &Flame(int ox, int oy, int frame) {
        for (int y = 0; y < kFlameH; ++y)
            for (int x = 0; x < kFlameW; ++x)
                Set(ox + kFlameX + x, oy + kFlameY + y, kFlame[frame - 1]);
        return *this;
    }
};

::testing::AssertionResult Shows(const std::vector<uint32_t> &got, const Screen &want) {
    if (got.size() != want.px.size()) return ::testing::AssertionFailure() << "no picture captured";
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != want.px[i])
            return ::testing::AssertionFailure() << "pixel (" << int(i) % want.w << ", " << int(i) / want.w
                                                 << ") is " << ::testing::PrintToString(got[i])
                                                 << ", expected " << ::testing::PrintToString(want.px[i]);
    return ::testing::AssertionSuccess();
}

class FireTest : public SaverTest {
  protected:
    void Start(int w, int h, int type = 7, int eternal = 0) {
        PaintDesktop(w, h);
        SetProfile("[SCRWARPVUE_SECTION]\nDispType=" + std::to_string(type) +
                   "\nDispRobo=0\nEternalFire=" + std::to_string(eternal) + "\n");
    }

    // Runs "/s": `first` before the first tick, then `after(n)` after each tick n up to `ticks`.
    void RunTicks(int ticks, const std::function<void()> &first, const std::function<void(int)> &after) {
        SaverTest::RunTicks(ticks, first, [&](int n) {
            after(n);
            return true;
        });
    }

    static void HeldClock() {
        headless::set_local_time(12, 700);
        InstallFireBitmaps();
    }
};

// 1024x768: stage 256..768 by 192..576. 700 mod 512 = 188 and 700 mod 384 = 316, so the corner is at
// (256 + 188 - 137, 192 + 316 - 158) = (307, 350) and the flames at (419, 404).
TEST_F(FireTest, BurnsThroughItsBudgetAndGoesOut) {
    Start(1024, 768);
    std::map<int, std::vector<uint32_t>> seen;
    std::map<int, int> count;
    const int kLooks[] = {1, 2, 3, 4, 5, 6, 2999, 3000, 3001, 3005};
    RunTicks(3005, HeldClock, [&](int n) {
        if (std::find(std::begin(kLooks), std::end(kLooks), n) == std::end(kLooks)) return;
        seen[n] = headless::window_pixels();
        count[n] = g_app.fire_state.tick_count;
    });
    EXPECT_EQ(g_app.fire_state.origin_x, 307);
    EXPECT_EQ(g_app.fire_state.origin_y, 350);
    const Screen plain(1024, 768);
    Screen hole = plain;
    hole.Scorch(307, 350);
    EXPECT_TRUE(Shows(seen[1], plain)); // fire tick 1 draws nothing
    EXPECT_TRUE(Shows(seen[2], hole));
    EXPECT_TRUE(Shows(seen[3], Screen(hole).Flame(307, 350, 1)));
    EXPECT_TRUE(Shows(seen[4], Screen(hole).Flame(307, 350, 2)));
    EXPECT_TRUE(Shows(seen[5], Screen(hole).Flame(307, 350, 3)));
    EXPECT_TRUE(Shows(seen[6], Screen(hole).Flame(307, 350, 1)));
    EXPECT_TRUE(Shows(seen[2999], Screen(hole).Flame(307, 350, 3))); // (2999 - 3) mod 3 + 1 = 3
    EXPECT_TRUE(Shows(seen[3000], hole));                            // the burn-out: the hole once more
    EXPECT_EQ(seen[3001], seen[3000]);
    EXPECT_EQ(seen[3005], seen[3000]);
    EXPECT_EQ(count[2999], 2999);
    EXPECT_EQ(count[3000], 3000);
    EXPECT_EQ(count[3001], 3000);
    EXPECT_EQ(count[3005], 3000);
}

TEST_F(FireTest, EternalFireNeverGoesOut) {
    Start(1024, 768, 7, 5);
    std::vector<uint32_t> at3000, at3001;
    int highest_count = 0;
    RunTicks(3001, HeldClock, [&](int n) {
        highest_count = std::max(highest_count, g_app.fire_state.tick_count);
        if (n == 3000) at3000 = headless::window_pixels();
        if (n == 3001) at3001 = headless::window_pixels();
    });
    EXPECT_EQ(highest_count, 0);
    const Screen hole = Screen(1024, 768).Scorch(307, 350);
    EXPECT_TRUE(Shows(at3000, Screen(hole).Flame(307, 350, 1))); // (3000 - 3) mod 3 + 1 = 1
    EXPECT_TRUE(Shows(at3001, Screen(hole).Flame(307, 350, 2)));
}

// On 640x480 (stage 160..480 by 120..360) a reading of 0 ms puts the corner at (23, -38): the top 38
// rows of the scorch are cut off, the flames sit at (135, 16).
TEST_F(FireTest, ScorchClippedAtTheTopOfASmallScreen) {
    Start(640, 480);
    std::vector<uint32_t> hole, flame;
    const auto first = [] {
        headless::set_local_time(0, 0);
        InstallFireBitmaps();
    };
    RunTicks(3, first, [&](int n) {
        if (n == 2) hole = headless::window_pixels();
        if (n == 3) flame = headless::window_pixels();
    });
    EXPECT_EQ(g_app.fire_state.origin_y, -38);
    EXPECT_TRUE(Shows(hole, Screen(640, 480).Scorch(23, -38)));
    EXPECT_TRUE(Shows(flame, Screen(640, 480).Scorch(23, -38).Flame(23, -38, 1)));
}

// Every reading 0..999 by ignition alone (no scorch bitmap, so nothing is drawn): the corner stays in
// its range, and the range's ends are reached.
TEST_F(FireTest, OriginRangesOverTheStage) {
    struct Case {
        int w, h, min_x, max_x, min_y, max_y;
    } const kCases[] = {
        {1024, 768, 119, 630, 34, 417},     // 256 - 137 .. 256 + 511 - 137, 192 - 158 .. 192 + 383 - 158
        {640, 480, 23, 342, -38, 201},      // 160 - 137 .. 160 + 319 - 137, 120 - 158 .. 120 + 239 - 158
        {2800, 2200, 563, 1562, 392, 1391}, // stage wider and taller than 1000: the centre at most 999 in
        {0, 768, -137, -137, 34, 417},      // no width, no height: that coordinate is the stage's edge
        {1024, 0, 119, 630, -158, -158},
    };
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.w);
        test::ResetProgramState();
        headless::reset(c.w, c.h);
        SetProfile("[SCRWARPVUE_SECTION]\nDispType=7\n");
        int min_x = 1 << 30, max_x = -(1 << 30), min_y = 1 << 30, max_y = -(1 << 30), x700 = 0, y700 = 0;
        headless::script({[&] {
            RemoveFireBitmap(ScorchMask);
            HWND hwnd = GetActiveWindow();
            DrawContext dc = OpenDrawContext(hwnd);
            for (int ms = 0; ms < 1000; ++ms) {
                headless::set_local_time(ms % 60, ms);
                g_app.fire_state.phase = 1;
                FireStep(dc);
                const int x = g_app.fire_state.origin_x, y = g_app.fire_state.origin_y;
                min_x = std::min(min_x, x), max_x = std::max(max_x, x);
                min_y = std::min(min_y, y), max_y = std::max(max_y, y);
                if (ms == 700) x700 = x, y700 = y;
            }
            CloseDrawContext(hwnd, dc);
            headless::input(WM_KEYDOWN);
        }});
        EXPECT_EQ(Run("/s"), 0);
        EXPECT_EQ((std::vector<int>{min_x, max_x, min_y, max_y}),
                  (std::vector<int>{c.min_x, c.max_x, c.min_y, c.max_y}));
        if (c.w == 1024 && c.h == 768) {
            EXPECT_EQ((std::vector<int>{x700, y700}), (std::vector<int>{307, 350}));
        }
    }
}

// A repaint after the first tick but before ignition puts the scorch at (0, 0); ignition then opens the
// hole at its chosen place and the corner hole stays.
TEST_F(FireTest, RepaintBeforeIgnitionScorchesTheCorner) {
    Start(1024, 768);
    std::vector<uint32_t> repainted, ignited;
    headless::script({
        [] {
            HeldClock();
            headless::tick();
        },
        [] { headless::expose(); },
        [&] {
            repainted = headless::window_pixels();
            headless::tick();
        },
        [&] {
            ignited = headless::window_pixels();
            headless::input(WM_KEYDOWN);
        },
    });
    EXPECT_EQ(Run("/s"), 0);
    EXPECT_TRUE(Shows(repainted, Screen(1024, 768).Scorch(0, 0)));
    EXPECT_TRUE(Shows(ignited, Screen(1024, 768).Scorch(0, 0).Scorch(307, 350)));
}

// A missing bitmap is skipped: no mask, no hole (at ignition or on a repaint); no second frame, no
// change on its tick.
TEST_F(FireTest, MissingBitmapsAreSkipped) {
    Start(640, 480);
    std::map<int, std::vector<uint32_t>> seen;
    std::vector<uint32_t> repainted;
    std::vector<headless::Step> steps = {[] {
        HeldClock();
        RemoveFireBitmap(ScorchMask);
        RemoveFireBitmap(FlameFrame2);
        headless::tick();
    }};
    for (int n = 1; n <= 5; ++n)
        steps.push_back([&, n] {
            seen[n] = headless::window_pixels();
            n < 5 ? headless::tick() : headless::expose();
        });
    steps.push_back([&] {
        repainted = headless::window_pixels();
        headless::input(WM_KEYDOWN);
    });
    headless::script(std::move(steps));
    EXPECT_EQ(Run("/s"), 0);
    // 640x480 at 700 ms: (160 + 700 mod 320 - 137, 120 + 700 mod 240 - 158) = (83, 182).
    const Screen plain(640, 480);
    EXPECT_TRUE(Shows(seen[2], plain));
    EXPECT_TRUE(Shows(seen[3], Screen(plain).Flame(83, 182, 1)));
    EXPECT_EQ(seen[4], seen[3]);
    EXPECT_TRUE(Shows(seen[5], Screen(plain).Flame(83, 182, 3)));
    EXPECT_TRUE(Shows(repainted, plain));
}

// The five fire bitmaps are asked for by name, once each, and nothing else is.
TEST_F(FireTest, LoadsExactlyTheFiveFireBitmaps) {
    static std::vector<std::string> asked;
    asked.clear();
    posix::before_each_bitmap_load([](LPCSTR name) { asked.push_back(IS_INTRESOURCE(name) ? "#id" : name); });
    g_app.instance = posix::module_instance();
    LoadFireBitmaps();
    posix::before_each_bitmap_load(nullptr);
    ReleaseFireBitmaps();
    EXPECT_EQ(asked,
              (std::vector<std::string>{"XHONOO-BK1", "XHONOO-BK2", "XHONOO-01", "XHONOO-02", "XHONOO-03"}));
}

// Under other display types the fire bitmaps are loaded and given back, but nothing of the fire shows,
// not on ticks and not on a repaint.
TEST_F(FireTest, OtherDisplayTypesShowNoFire) {
    for (int type : {1, 4}) {
        SCOPED_TRACE(type);
        test::ResetProgramState();
        Start(320, 240, type);
        const size_t objects_before = posix::live_gdi_objects();
        std::array<HBITMAP, kFireBitmapCount> loaded{}, mine{};
        std::vector<std::vector<uint32_t>> seen;
        headless::script({
            [&] {
                // Keep the loaded bitmaps aside (the mask, the image and the flames in order, each the
                // picture of its name) and burn known ones in their place for the run.
                const char *const kNames[] = {"XHONOO-BK1", "XHONOO-BK2", "XHONOO-01", "XHONOO-02",
                                              "XHONOO-03"};
                for (int i = 0; i < kFireBitmapCount; ++i) {
                    loaded[size_t(i)] = g_app.fire[i];
                    HBITMAP named = LoadBitmapA(posix::module_instance(), kNames[i]);
                    EXPECT_TRUE(SamePixels(loaded[size_t(i)], named)) << kNames[i];
                    DeleteObject(named);
                }
                mine = MakeFireBitmaps();
                std::copy(mine.begin(), mine.end(), g_app.fire);
                headless::set_local_time(0, 0);
                headless::tick();
            },
            [&] {
                seen.push_back(headless::window_pixels());
                headless::tick();
            },
            [&] { headless::tick(); },
            [&] { headless::tick(); },
            [&] {
                seen.push_back(headless::window_pixels());
                headless::expose();
            },
            [&] {
                seen.push_back(headless::window_pixels());
                std::copy(loaded.begin(), loaded.end(), g_app.fire);
                for (HBITMAP b : mine)
                    DeleteObject(b);
                headless::input(WM_KEYDOWN);
            },
        });
        EXPECT_EQ(Run("/s"), 0);
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_EQ(seen[1], seen[0]);
        EXPECT_EQ(seen[2], seen[0]);
        EXPECT_EQ(g_app.fire_state.phase, 0);
        EXPECT_EQ(g_app.fire_state.tick_count, 0);
        for (HBITMAP b : loaded)
            EXPECT_EQ(posix::bitmap_from(b), nullptr);
        EXPECT_EQ(posix::live_gdi_objects(), objects_before);
    }
}

} // namespace
