// The eight fault pictures, pixel for pixel: the real program runs headless on a desktop whose every
// pixel differs, and the window after the first tick (and after a repaint) is compared with the
// distortion's closed-form mapping.

#include "support.h"

#include "platform/posix/internal.h"
#include "platform/posix/present.h"

#include <string>
#include <tuple>
#include <utility>

namespace {

using test::SaverTest;

struct Shown {
    std::vector<uint32_t> erased;                // the window before the first tick
    std::vector<uint32_t> first;                 // the window after the first tick
    std::vector<std::vector<uint32_t>> built_up; // during the first tick, after the transfers watched
    std::vector<uint32_t> repaint;               // after the window was scribbled white and exposed
    uint64_t transfers = 0;                      // block transfers made by the first tick
};

class EffectsTest : public SaverTest {
  protected:
    // Runs "/s" with DispType `type` and no robot on a w x h desktop for one tick and one repaint. The
    // window starts with a pattern, as a real one starts with whatever was under it.
    Shown Show(int type, int w, int h, std::vector<uint64_t> watch = {}) {
        test::ResetProgramState();
        PaintDesktop(w, h);
        headless::set_window_start([](int x, int y) { return 0x9000F0u ^ uint32_t(x * 7 + y * 13); });
        SetProfile("[SCRWARPVUE_SECTION]\nDispType=" + std::to_string(type) + "\nDispRobo=0\n");
        Shown s;
        uint64_t before = 0;
        headless::script({
            [&] {
                s.erased = headless::window_pixels();
                headless::watch_build_up(watch);
                before = posix::transfer_count();
                headless::tick();
            },
            [&] {
                s.transfers = posix::transfer_count() - before;
                s.built_up = headless::built_up();
                s.first = headless::window_pixels();
                // The repaint of the overvoltage fault also draws the fire's scorch; that is the fire's
                // business, so the scorch is taken away here.
                DeleteObject(g_app.fire[ScorchMask]);
                g_app.fire[ScorchMask] = nullptr;
                // Paint the window white so that a repaint which draws nothing cannot pass.
                HWND hwnd = GetActiveWindow();
                HDC dc = GetDC(hwnd);
                BitBlt(dc, 0, 0, w, h, nullptr, 0, 0, WHITENESS);
                ReleaseDC(hwnd, dc);
                headless::expose();
            },
            [&] {
                s.repaint = headless::window_pixels();
                headless::input(WM_KEYDOWN);
            },
        });
        EXPECT_EQ(Run("/s"), 0);
        EXPECT_FALSE(headless::script_overrun());
        return s;
    }

    // The picture each display type should show, written from its mapping (destination from source).
    static std::vector<uint32_t> Expected(int type, int w, int h) {
        std::vector<uint32_t> e(size_t(w) * size_t(h), 0);
        auto at = [&](int x, int y) -> uint32_t & { return e[size_t(y) * size_t(w) + size_t(x)]; };
        for (int sy = 0; sy < h; ++sy) {
            for (int sx = 0; sx < w; ++sx) {
                const uint32_t px = Desktop(sx, sy);
                switch (type) {
                case 1:
                    at(w - 1 - sx, h - 1 - sy) = px;
                    break; // (x, y) from (W-1-x, H-1-y)
                case 2:
                    if (sx % 2 == 0) at(w / 4 + sx / 2, sy) = px;
                    break; // column W/4+k from 2k
                case 3:
                    if (sx % 2 == 0 && sy % 2 == 0) at(w / 4 + sx / 2, h / 4 + sy / 2) = px;
                    break;
                case 4:
                    if (sy % 2 == 0) at(sx, h / 4 + sy / 2) = px;
                    break; // row H/4+j from row 2j
                case 5:
                    at(w - 1 - sx, sy) = px;
                    break;
                case 6: {
                    const int y = h / 8 + sy - sx / 34;
                    if (y >= 0 && y < h) at(sx, y) = px;
                    break;
                }
                case 7:
                    at(sx, sy) = px;
                    break;
                case 8:
                    at(sx, sy) = ~px & 0xFFFFFF;
                    break;
                default:
                    break;
                }
            }
        }
        return e;
    }

    static uint64_t ExpectedTransfers(int type, int w, int h) {
        switch (type) {
        case 1:
        case 5:
        case 6:
            return uint64_t(w) * uint64_t(h);
        case 2:
            return uint64_t(w + 1) / 2;
        case 3:
            return uint64_t((w + 1) / 2) * uint64_t((h + 1) / 2);
        case 4:
            return uint64_t(h + 1) / 2;
        case 7:
        case 8:
            return 1;
        default:
            return 0;
        }
    }

    // Compares pictures and names the first differing pixel, not a million of them.
    static ::testing::AssertionResult SamePicture(const std::vector<uint32_t> &got,
                                                  const std::vector<uint32_t> &want, int w) {
        if (got.size() != want.size())
            return ::testing::AssertionFailure() << "size " << got.size() << " != " << want.size();
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i] != want[i])
                return ::testing::AssertionFailure() << "pixel (" << int(i) % w << ", " << int(i) / w
                                                     << ") is " << ::testing::PrintToString(got[i])
                                                     << ", expected " << ::testing::PrintToString(want[i]);
        return ::testing::AssertionSuccess();
    }

    void CheckType(int type, int w, int h) {
        SCOPED_TRACE("type " + std::to_string(type) + " on " + std::to_string(w) + "x" + std::to_string(h));
        const Shown s = Show(type, w, h);
        const std::vector<uint32_t> want = Expected(type, w, h);
        EXPECT_TRUE(SamePicture(s.erased, std::vector<uint32_t>(want.size(), 0), w)); // the first erase
        EXPECT_TRUE(SamePicture(s.first, want, w));
        EXPECT_TRUE(SamePicture(s.repaint, want, w));
        EXPECT_EQ(s.transfers, ExpectedTransfers(type, w, h));
    }
};

class EffectPictures : public EffectsTest,
                       public ::testing::WithParamInterface<std::tuple<int, std::pair<int, int>>> {};

// 5x3 and 7x5: odd sizes with quarter offsets of 1; 103x9: wider than two of Overuse's 34-column steps;
// 103x7: H/8 is 0, so Overuse has no downward offset and the right part of its first rows is clipped;
// 6x4: even both ways, so the squeezes take the last source column and row but one.
TEST_P(EffectPictures, FirstTickAndRepaintShowTheMapping) {
    const auto [type, size] = GetParam();
    CheckType(type, size.first, size.second);
}

std::string PictureName(const ::testing::TestParamInfo<EffectPictures::ParamType> &info) {
    const auto &[type, size] = info.param;
    return "Type" + std::to_string(type) + "_" + std::to_string(size.first) + "x" +
           std::to_string(size.second);
}

const std::pair<int, int> kSmallScreens[] = {{5, 3}, {7, 5}, {103, 9}, {103, 7}, {6, 4}};

INSTANTIATE_TEST_SUITE_P(SmallScreens, EffectPictures,
                         ::testing::Combine(::testing::Range(1, 9), ::testing::ValuesIn(kSmallScreens)),
                         PictureName);

// A screen whose size is odd both ways, for the single-pixel effects and two of the others.
TEST_F(EffectsTest, OddFullScreen) {
    for (int type : {1, 3, 5, 8})
        CheckType(type, 1023, 767);
}

TEST_F(EffectsTest, TypesOutsideOneToEightLeaveTheWindowBlack) {
    const std::vector<uint32_t> black(size_t(7) * 5, 0);
    for (int type : {0, 9, -1}) {
        SCOPED_TRACE(type);
        const Shown s = Show(type, 7, 5);
        EXPECT_EQ(s.first, black);
        EXPECT_EQ(s.repaint, black);
        EXPECT_EQ(s.transfers, 0u);
    }
}

// Hand-worked pixels, independent of the mapping above.
TEST_F(EffectsTest, SmallPicturesByHand) {
    // Wiring fault on 3x2: rows (a b c) (d e f) become (f e d) (c b a).
    Shown s = Show(1, 3, 2);
    EXPECT_EQ(s.first, (std::vector<uint32_t>{Desktop(2, 1), Desktop(1, 1), Desktop(0, 1), Desktop(2, 0),
                                              Desktop(1, 0), Desktop(0, 0)}));
    // Horizontal sync on 5x3: source columns 0, 2, 4 land on 1, 2, 3; columns 0 and 4 stay black.
    s = Show(2, 5, 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(s.first[size_t(y) * 5 + 0], 0u);
        EXPECT_EQ(s.first[size_t(y) * 5 + 1], Desktop(0, y));
        EXPECT_EQ(s.first[size_t(y) * 5 + 2], Desktop(2, y));
        EXPECT_EQ(s.first[size_t(y) * 5 + 3], Desktop(4, y));
        EXPECT_EQ(s.first[size_t(y) * 5 + 4], 0u);
    }
    // Overuse on 103x7 (H/8 = 0): source row 0 stays on row 0 for columns 0..33; at column 34 row 0
    // shows source row 1 and at column 68 source row 2.
    s = Show(6, 103, 7);
    EXPECT_EQ(s.first[33], Desktop(33, 0));
    EXPECT_EQ(s.first[34], Desktop(34, 1));
    EXPECT_EQ(s.first[68], Desktop(68, 2));
    EXPECT_EQ(s.first[size_t(6) * 103 + 102], 0u); // bottom right: source row 9 would be needed, black
}

// The slow effects build up in the order the user watches: after the first n transfers of the first
// tick, exactly the pixels those transfers draw show the picture and the rest are still black.
TEST_F(EffectsTest, SlowEffectsBuildUpInTheirOrder) {
    // The transfer (counted from 0) that draws destination pixel (x, y) of a w x h screen; -1 for none.
    auto order = [](int type, int w, int h, int x, int y) -> int64_t {
        const int i = x - w / 4, j = y - h / 4, half_w = (w + 1) / 2, half_h = (h + 1) / 2;
        const int sy = y - h / 8 + x / 34;
        switch (type) {
        case 1: // row by row from the top, each row from the left
        case 5:
            return int64_t(y) * w + x;
        case 2: // column by column from the left
            return i >= 0 && i < half_w ? i : -1;
        case 3: // row by row from the top, each row from the left
            return i >= 0 && i < half_w && j >= 0 && j < half_h ? int64_t(j) * half_w + i : -1;
        case 4: // row by row from the top
            return j >= 0 && j < half_h ? j : -1;
        case 6: // source row by source row from the top, each from the left
            return sy >= 0 && sy < h ? int64_t(sy) * w + x : -1;
        default:
            return -1;
        }
    };
    const std::tuple<int, int, int> kCases[] = {{1, 7, 5}, {2, 7, 5}, {3, 7, 5},
                                                {4, 7, 5}, {5, 7, 5}, {6, 103, 9}};
    for (const auto &[type, w, h] : kCases) {
        SCOPED_TRACE("type " + std::to_string(type));
        const uint64_t total = ExpectedTransfers(type, w, h);
        const std::vector<uint64_t> watch = {1, total / 2, total - 1};
        const Shown s = Show(type, w, h, watch);
        const std::vector<uint32_t> picture = Expected(type, w, h);
        ASSERT_EQ(s.built_up.size(), watch.size());
        for (size_t k = 0; k < watch.size(); ++k) {
            SCOPED_TRACE("after " + std::to_string(watch[k]) + " transfers");
            std::vector<uint32_t> want(picture.size(), 0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int64_t t = order(type, w, h, x, y);
                    if (t >= 0 && uint64_t(t) < watch[k])
                        want[size_t(y) * w + x] = picture[size_t(y) * w + x];
                }
            EXPECT_TRUE(SamePicture(s.built_up[k], want, w));
        }
    }
}

// On 1024x768 Overuse starts H/8 = 96 rows down and the rightmost column rises 1023/34 = 30 rows.
TEST_F(EffectsTest, OveruseWorkedFigures) {
    const int w = 1024, h = 768;
    const Shown s = Show(6, w, h);
    auto px = [&](int x, int y) { return s.first[size_t(y) * w + size_t(x)]; };
    EXPECT_EQ(px(0, 96), Desktop(0, 0));
    EXPECT_EQ(px(1023, 66), Desktop(1023, 0));
    for (int y = 0; y < 96; ++y)
        ASSERT_EQ(px(0, y), 0u) << "row " << y;
    EXPECT_EQ(px(0, 767), Desktop(0, 671)); // the last 96 source rows of column 0 fall off the bottom
    EXPECT_EQ(px(1023, 0), 0u);             // a wedge of 66 black rows at the right edge
    EXPECT_EQ(px(1023, 65), 0u);
    EXPECT_TRUE(SamePicture(s.first, Expected(6, w, h), w));
    EXPECT_TRUE(SamePicture(s.repaint, s.first, w));
    EXPECT_EQ(s.transfers, uint64_t(w) * h);
}

} // namespace
