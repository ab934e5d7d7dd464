// GDI of the posix layer on memory surfaces: raster operations, clipping, the screen surface, and the
// life cycle of device contexts and bitmaps.

#include "support.h"

#include "platform/posix/internal.h"

#include <climits>
#include <vector>

namespace {

class PlatformGdi : public test::SaverTest {};

constexpr int kW = 8, kH = 6;   // destination
constexpr int kSW = 5, kSH = 4; // source

COLORREF Ref(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}
uint32_t Rgb(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// A memory surface with its own bitmap, every pixel set from a pattern.
struct MemSurface {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    int w, h;
    MemSurface(int w_, int h_, uint32_t (*pattern)(int, int)) : w(w_), h(h_) {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old = SelectObject(dc, bitmap);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                SetPixel(dc, x, y, Ref(pattern(x, y)));
    }
    ~MemSurface() {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    uint32_t At(int x, int y) const { return Rgb(GetPixel(dc, x, y)); }
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> v;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                v.push_back(At(x, y));
        return v;
    }
};

uint32_t DstPattern(int x, int y) {
    return 0xA00000u | uint32_t(x << 8) | uint32_t(y);
}
uint32_t SrcPattern(int x, int y) {
    return 0x005000u | uint32_t(x << 16) | uint32_t(y + 0x80);
}

// What a SRCCOPY of (x, y, w, h) from (sx, sy) leaves: the destination pattern, with the source pattern
// wherever both the destination and the source pixel lie inside their surfaces.
std::vector<uint32_t> ExpectedCopy(int x, int y, int w, int h, int sx, int sy) {
    std::vector<uint32_t> v;
    for (int py = 0; py < kH; ++py) {
        for (int px = 0; px < kW; ++px) {
            int qx = px - x + sx, qy = py - y + sy;
            bool hit = px >= x && px < int64_t(x) + w && py >= y && py < int64_t(y) + h && qx >= 0 &&
                       qx < kSW && qy >= 0 && qy < kSH;
            v.push_back(hit ? SrcPattern(qx, qy) : DstPattern(px, py));
        }
    }
    return v;
}

TEST_F(PlatformGdi, RasterOperationsCombineSourceAndDestination) {
    struct Case {
        DWORD rop;
        uint32_t expected; // for destination 0xF0C3A5 and source 0x3C5A0F
    } cases[] = {{SRCCOPY, 0x3C5A0F},  {NOTSRCCOPY, 0xC3A5F0}, {SRCAND, 0x304205},
                 {SRCPAINT, 0xFCDBAF}, {BLACKNESS, 0x000000},  {WHITENESS, 0xFFFFFF}};
    for (const Case &c : cases) {
        for (int size : {1, 3}) { // the single-pixel path and the row path
            MemSurface dst(kW, kH, [](int, int) { return 0xF0C3A5u; });
            MemSurface src(kSW, kSH, [](int, int) { return 0x3C5A0Fu; });
            EXPECT_TRUE(BitBlt(dst.dc, 2, 1, size, size, src.dc, 1, 1, c.rop));
            EXPECT_EQ(dst.At(2, 1), c.expected) << std::hex << c.rop << " size " << size;
            EXPECT_EQ(dst.At(2 + size - 1, 1 + size - 1), c.expected) << std::hex << c.rop;
            EXPECT_EQ(dst.At(1, 1), 0xF0C3A5u) << std::hex << c.rop;
            EXPECT_EQ(dst.At(2 + size, 1), 0xF0C3A5u) << std::hex << c.rop;
        }
    }
    MemSurface dst(kW, kH, DstPattern), src(kSW, kSH, SrcPattern);
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, 0x00AA0029)); // an operation the layer lacks
    EXPECT_EQ(dst.Pixels(), ExpectedCopy(0, 0, 0, 0, 0, 0));
}

TEST_F(PlatformGdi, MaskThenImageDrawsOnlyTheShape) {
    // Mask: white keeps the background, black clears it. Image: black where the mask is white.
    MemSurface dst(4, 1, [](int x, int) { return 0x123456u + uint32_t(x); });
    MemSurface mask(4, 1, [](int x, int) { return x % 2 ? 0x000000u : 0xFFFFFFu; });
    MemSurface image(4, 1, [](int x, int) { return x % 2 ? 0x80C040u : 0x000000u; });
    BitBlt(dst.dc, 0, 0, 4, 1, mask.dc, 0, 0, SRCAND);
    EXPECT_EQ(dst.Pixels(), (std::vector<uint32_t>{0x123456, 0, 0x123458, 0}));
    BitBlt(dst.dc, 0, 0, 4, 1, image.dc, 0, 0, SRCPAINT);
    EXPECT_EQ(dst.Pixels(), (std::vector<uint32_t>{0x123456, 0x80C040, 0x123458, 0x80C040}));
}

TEST_F(PlatformGdi, TransfersWriteOnlyWhereDestinationAndSourceOverlap) {
    struct Case {
        int x, y, w, h, sx, sy;
    } cases[] = {
        {1, 1, 3, 2, 1, 1},                  // inside
        {-2, 1, 4, 2, 0, 0},                 // over the left edge
        {6, 1, 4, 2, 0, 0},                  // over the right edge
        {1, -2, 3, 4, 0, 0},                 // over the top edge
        {1, 4, 3, 4, 0, 0},                  // over the bottom edge
        {-3, -3, 20, 20, 0, 0},              // over all four
        {kW, 0, 2, 2, 0, 0},                 // wholly right
        {0, -5, 2, 5, 0, 0},                 // wholly above
        {2, 2, -3, 2, 0, 0},                 // negative width
        {2, 2, 2, -1, 0, 0},                 // negative height
        {2, 2, 0, 3, 0, 0},                  // zero width
        {0, 0, 4, 4, -2, 1},                 // source over its left edge
        {0, 0, 4, 4, 3, 2},                  // source over its right and bottom edges
        {0, 0, 3, 3, kSW, 0},                // source wholly outside
        {0, 0, 3, 3, -1, -1},                // source over its top-left corner
        {1000000, 0, 5, 5, 0, 0},            // far outside
        {INT_MAX - 2, 0, 5, 5, 0, 0},        // at the end of the coordinate range
        {-4, 0, INT_MAX, 2, INT_MIN + 8, 0}, // huge extents
    };
    for (const Case &c : cases) {
        MemSurface dst(kW, kH, DstPattern), src(kSW, kSH, SrcPattern);
        EXPECT_TRUE(BitBlt(dst.dc, c.x, c.y, c.w, c.h, src.dc, c.sx, c.sy, SRCCOPY));
        EXPECT_EQ(dst.Pixels(), ExpectedCopy(c.x, c.y, c.w, c.h, c.sx, c.sy))
            << c.x << "," << c.y << " " << c.w << "x" << c.h << " from " << c.sx << "," << c.sy;
    }
}

TEST_F(PlatformGdi, OnePixelTransfersAtEveryEdge) {
    MemSurface dst(kW, kH, DstPattern), src(kSW, kSH, SrcPattern);
    for (int y = -1; y <= kH; ++y) {
        for (int x = -1; x <= kW; ++x) {
            BitBlt(dst.dc, x, y, 1, 1, src.dc, x % (kSW + 2) - 1, y % (kSH + 2) - 1, SRCCOPY);
            if (x >= 0 && y >= 0 && x < kW && y < kH) {
                int sx = x % (kSW + 2) - 1, sy = y % (kSH + 2) - 1;
                bool inside = sx >= 0 && sy >= 0 && sx < kSW && sy < kSH;
                EXPECT_EQ(dst.At(x, y), inside ? SrcPattern(sx, sy) : DstPattern(x, y)) << x << "," << y;
            }
        }
    }
}

TEST_F(PlatformGdi, FillRectAndEqualStretchAreClipped) {
    MemSurface dst(kW, kH, DstPattern);
    RECT r{-3, 4, 3, 100};
    EXPECT_EQ(FillRect(dst.dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 1);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(dst.At(x, y), x < 3 && y >= 4 ? 0xFFFFFFu : DstPattern(x, y));

    const int cases[][6] = {{1, 1, 3, 2, 1, 1}, {-2, 3, 6, 6, 0, -1}, {5, -1, 4, 4, 2, 0}};
    for (const auto &c : cases) {
        MemSurface a(kW, kH, DstPattern), b(kW, kH, DstPattern), src(kSW, kSH, SrcPattern);
        BitBlt(a.dc, c[0], c[1], c[2], c[3], src.dc, c[4], c[5], SRCCOPY);
        StretchBlt(b.dc, c[0], c[1], c[2], c[3], src.dc, c[4], c[5], c[2], c[3], SRCCOPY);
        EXPECT_EQ(a.Pixels(), b.Pixels());
        EXPECT_EQ(b.Pixels(), ExpectedCopy(c[0], c[1], c[2], c[3], c[4], c[5]));
    }
}

TEST_F(PlatformGdi, ATransferWithinOneSurfaceReadsThePixelsAsTheyWereBefore) {
    // Down and right, up and left, and along the row: each overlaps what it reads. A scaling stretch
    // is not supported and leaves the surface alone.
    const int cases[][6] = {{2, 1, 5, 4, 0, 0}, {0, 0, 6, 5, 1, 1}, {1, 2, 7, 1, 0, 2}};
    for (const auto &c : cases) {
        MemSurface a(kW, kH, DstPattern);
        EXPECT_TRUE(BitBlt(a.dc, c[0], c[1], c[2], c[3], a.dc, c[4], c[5], SRCCOPY));
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                bool inside = x >= c[0] && x < c[0] + c[2] && y >= c[1] && y < c[1] + c[3];
                EXPECT_EQ(a.At(x, y),
                          inside ? DstPattern(x - c[0] + c[4], y - c[1] + c[5]) : DstPattern(x, y))
                    << x << "," << y;
            }
        EXPECT_FALSE(StretchBlt(a.dc, 0, 0, 4, 4, a.dc, 0, 0, 2, 2, SRCCOPY));
    }
}

TEST_F(PlatformGdi, TheScreenSurfaceReadsTheVirtualScreen) {
    PaintDesktop(6, 5);
    HDC screen = GetDC(nullptr);
    MemSurface dst(kW, kH, DstPattern);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, kW, kH, screen, 2, 1, SRCCOPY)); // hangs over the screen's edges
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(dst.At(x, y), x < 4 && y < 4 ? Desktop(x + 2, y + 1) : DstPattern(x, y))
                << x << "," << y;
    BitBlt(dst.dc, 0, 0, 1, 1, screen, 5, 4, NOTSRCCOPY);
    EXPECT_EQ(dst.At(0, 0), ~Desktop(5, 4) & 0xFFFFFF);
    EXPECT_FALSE(BitBlt(screen, 0, 0, 1, 1, dst.dc, 0, 0, SRCCOPY)); // the screen is never drawn on
    EXPECT_EQ(headless::screen_pixel(0, 0), Desktop(0, 0));
    ReleaseDC(nullptr, screen);
}

TEST_F(PlatformGdi, SelectingAndDeletingFollowWindowsRules) {
    const size_t objects = posix::live_gdi_objects(), dcs = posix::live_dcs();
    HDC screen = GetDC(nullptr);
    HDC a = CreateCompatibleDC(screen), b = CreateCompatibleDC(screen);
    HBITMAP bm = CreateCompatibleBitmap(screen, 7, 3);
    ASSERT_TRUE(a && b && bm);
    EXPECT_EQ(posix::live_dcs(), dcs + 3);
    EXPECT_EQ(posix::live_gdi_objects(), objects + 1);

    // A new memory surface holds a 1x1 stock bitmap until something else is selected.
    BITMAP info{};
    HGDIOBJ stock = SelectObject(a, bm);
    ASSERT_NE(stock, nullptr);
    EXPECT_EQ(GetObjectA(stock, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 1);
    EXPECT_EQ(info.bmHeight, 1);
    EXPECT_EQ(GetObjectA(bm, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 7);
    EXPECT_EQ(info.bmHeight, 3);

    EXPECT_EQ(SelectObject(b, bm), nullptr); // held by a
    EXPECT_FALSE(DeleteObject(bm));          // still selected, and still works
    EXPECT_NE(SetPixel(a, 6, 2, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(GetPixel(a, 6, 2), RGB(1, 2, 3));
    EXPECT_EQ(SelectObject(a, stock), bm); // putting the stock bitmap back hands ours out
    EXPECT_EQ(SelectObject(b, bm), stock);
    EXPECT_EQ(GetPixel(b, 6, 2), RGB(1, 2, 3));

    EXPECT_TRUE(DeleteDC(b)); // a deleted surface lets go of its bitmap
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_FALSE(DeleteObject(bm));
    EXPECT_EQ(GetObjectA(bm, sizeof info, &info), 0);
    int bogus = 0;
    EXPECT_EQ(GetObjectA(reinterpret_cast<HGDIOBJ>(&bogus), sizeof info, &info), 0);
    EXPECT_FALSE(DeleteDC(b));
    EXPECT_TRUE(DeleteDC(a));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(posix::live_dcs(), dcs);
    EXPECT_EQ(posix::live_gdi_objects(), objects);
}

LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// A shown kW x kH popup of a class of its own.
HWND ShownWindow(const char *klass) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = klass;
    if (!RegisterClassA(&wc)) return nullptr;
    HWND hwnd = CreateWindowExA(0, klass, "", WS_POPUP, 0, 0, kW, kH, nullptr, nullptr, nullptr, nullptr);
    if (hwnd) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

TEST_F(PlatformGdi, WindowSurfaceShowsTransfersOnRelease) {
    HWND hwnd = ShownWindow("GdiTestWindow");
    ASSERT_NE(hwnd, nullptr);
    const int presents = headless::presents();
    HDC win = GetDC(hwnd);
    MemSurface src(kSW, kSH, SrcPattern);
    BitBlt(win, 3, 2, 1, 1, src.dc, 4, 3, SRCCOPY);
    BitBlt(win, 0, 0, 2, 1, src.dc, 0, 0, NOTSRCCOPY);
    ReleaseDC(hwnd, win);
    EXPECT_EQ(headless::presents(), presents + 1);
    EXPECT_EQ(headless::window_pixel(3, 2), SrcPattern(4, 3));
    EXPECT_EQ(headless::window_pixel(1, 0), ~SrcPattern(1, 0) & 0xFFFFFF);
    EXPECT_EQ(headless::window_pixel(2, 0), 0u);
    win = GetDC(hwnd);
    ReleaseDC(hwnd, win); // nothing drawn, nothing pushed
    EXPECT_EQ(headless::presents(), presents + 1);
    DestroyWindow(hwnd);
}

// What is drawn while a press waits reaches the display only after the press is handled, and never once the
// program has quit.
TEST_F(PlatformGdi, WaitingPressIsHandledBeforeThePush) {
    HWND hwnd = ShownWindow("GdiPressWindow");
    ASSERT_NE(hwnd, nullptr);
    MemSurface src(kSW, kSH, SrcPattern);
    MSG msg;
    for (UINT press : {WM_KEYDOWN, WM_LBUTTONDOWN}) {
        const int presents = headless::presents();
        HDC win = GetDC(hwnd);
        BitBlt(win, 3, 2, 1, 1, src.dc, 4, 3, SRCCOPY);
        posix::post_input(press, 0, 0);
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        ReleaseDC(hwnd, win);
        EXPECT_EQ(headless::presents(), presents);
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, press);
        EXPECT_EQ(headless::presents(), presents);
        if (press == WM_LBUTTONDOWN) PostQuitMessage(0); // the press ends the program
        ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, UINT(WM_CLOSE));
        EXPECT_EQ(headless::presents(), press == WM_KEYDOWN ? presents + 1 : presents);
    }
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(headless::window_pixel(3, 2), SrcPattern(4, 3));
    DestroyWindow(hwnd);
}

// The one-pixel copy remembers the last pair of surfaces: a push, another bitmap in a device context and a
// destroyed window must all be seen by the transfers that follow.
TEST_F(PlatformGdi, OnePixelTransfersFollowPushesBitmapsAndWindows) {
    HWND hwnd = ShownWindow("GdiPairWindow");
    ASSERT_NE(hwnd, nullptr);
    MemSurface src(kSW, kSH, SrcPattern);
    HDC win = GetDC(hwnd);
    headless::advance(1000); // the last push is long past: the next look at the clock during a render pushes
    const int presents = headless::presents();
    for (int i = 0; i < 10000 && headless::presents() == presents; ++i)
        BitBlt(win, 1, 1, 1, 1, src.dc, 0, 0, SRCCOPY);
    ASSERT_EQ(headless::presents(), presents + 1);
    BitBlt(win, 1, 1, 1, 1, src.dc, 2, 2, SRCCOPY); // drawn after that push: pushed on release
    ReleaseDC(hwnd, win);
    EXPECT_EQ(headless::presents(), presents + 2);
    EXPECT_EQ(headless::window_pixel(1, 1), SrcPattern(2, 2));

    HDC screen = GetDC(nullptr);
    HBITMAP black = CreateCompatibleBitmap(screen, kSW, kSH);
    ReleaseDC(nullptr, screen);
    win = GetDC(hwnd);
    BitBlt(win, 2, 2, 1, 1, src.dc, 1, 1, SRCCOPY);
    HGDIOBJ ours = SelectObject(src.dc, black);
    BitBlt(win, 3, 3, 1, 1, src.dc, 1, 1, SRCCOPY);
    EXPECT_EQ(headless::window_pixel(2, 2), SrcPattern(1, 1));
    EXPECT_EQ(headless::window_pixel(3, 3), 0u);
    SelectObject(src.dc, ours);
    DeleteObject(black);

    BitBlt(win, 4, 4, 1, 1, src.dc, 1, 1, SRCCOPY);
    DestroyWindow(hwnd);
    BitBlt(win, 4, 4, 1, 1, src.dc, 3, 3, SRCCOPY); // the window's pixels are gone: nothing is written
    EXPECT_EQ(headless::window_pixel(4, 4), SrcPattern(1, 1));
    ReleaseDC(hwnd, win);
}

} // namespace
