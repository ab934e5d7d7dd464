// The resources built into the program: every bitmap by name at the size the artwork lists, the icon,
// what the saver does when a pose is missing, and the artwork's rules.

#include "support.h"

#include "robot/pose_catalogue.h"

#include <cstring>
#include <string>

extern "C" const uint8_t scrwarpvue_res[];
extern "C" const uint32_t scrwarpvue_res_size;

namespace {

using test::SaverTest;

using test::Size;

Size SizeOf(HBITMAP b) {
    BITMAP bm{};
    if (!b || !GetObjectA(b, sizeof bm, &bm)) return {0, 0};
    return {bm.bmWidth, bm.bmHeight};
}

// Reads a loaded bitmap's pixels through a memory surface.
std::vector<uint32_t> Pixels(HBITMAP b) {
    Size s = SizeOf(b);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    std::vector<uint32_t> px;
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            px.push_back((uint32_t((c & 0xFF)) << 16) | (uint32_t((c >> 8) & 0xFF) << 8) |
                         ((c >> 16) & 0xFF));
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    return px;
}

TEST(Resources, EveryNamedBitmapLoadsAtItsListedSize) {
    HINSTANCE module = posix::module_instance();
    for (const test::ListedBitmap &listed : test::kListedBitmaps) {
        SCOPED_TRACE(listed.name);
        HBITMAP b = LoadBitmapA(module, listed.name);
        ASSERT_NE(b, nullptr);
        Size got = SizeOf(b);
        EXPECT_EQ(got.w, listed.w);
        EXPECT_EQ(got.h, listed.h);
        DeleteObject(b);
    }
    EXPECT_EQ(LoadBitmapA(module, "NO-SUCH-POSE"), nullptr);
    HBITMAP lower_case = LoadBitmapA(module, "sok-tan00");
    EXPECT_NE(lower_case, nullptr) << "names are found whatever their case";
    DeleteObject(lower_case);
    EXPECT_EQ(posix::live_gdi_objects(), 0u);
}

TEST(Resources, TheIconIsAGroupWithANumberSoNoNameFindsIt) {
    HINSTANCE module = posix::module_instance();
    EXPECT_EQ(LoadIconA(module, "ICON"), nullptr);
    const uint8_t *group = nullptr, *image = nullptr;
    uint32_t group_size = 0, image_size = 0;
    ASSERT_TRUE(posix::find_resource(module, RT_GROUP_ICON, MAKEINTRESOURCEA(100), &group, &group_size));
    ASSERT_GE(group_size, 6u + 14u);
    EXPECT_EQ(group[4] | (group[5] << 8), 1) << "a single image";
    EXPECT_EQ(group[6], 32);
    EXPECT_EQ(group[7], 32);
    int image_id = group[6 + 12] | (group[6 + 13] << 8);
    ASSERT_TRUE(posix::find_resource(module, RT_ICON, MAKEINTRESOURCEA(image_id), &image, &image_size));
    ASSERT_GE(image_size, 40u);
    EXPECT_EQ(image[4], 32); // width
    EXPECT_EQ(image[8], 64); // height: the colour bits and the mask
    EXPECT_EQ(image[14], 4); // 16 colours
}

// Windows lists a screen saver by its string 1, the first of the string block 1 (strings 0 to 15).
TEST(Resources, StringOneIsTheSaversName) {
    const uint8_t *block = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(posix::find_resource(posix::module_instance(), MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1),
                                     &block, &size));
    std::string text;
    for (size_t id = 0, at = 0; id <= 1 && at + 2 <= size; ++id) {
        const size_t n = size_t(block[at] | block[at + 1] << 8); // UTF-16 units
        at += 2;
        for (size_t i = 0; id == 1 && i < n && at + 2 * i < size; ++i)
            text += char(block[at + 2 * i]);
        at += 2 * n;
    }
    EXPECT_EQ(text, "SCRWARPVUE");
}

TEST(Artwork, PosesStandOnBlackAndTheFireFollowsItsRules) {
    HINSTANCE module = posix::module_instance();
    for (int i = 0; i < kPoseCount; ++i) {
        SCOPED_TRACE(kPoseNames[i]);
        HBITMAP b = LoadBitmapA(module, kPoseNames[i]);
        std::vector<uint32_t> px = Pixels(b);
        Size s = SizeOf(b);
        // The corners are background: black, so that the OR-draw leaves the screen there.
        EXPECT_EQ(px[0], 0u);
        EXPECT_EQ(px[size_t(s.w) - 1], 0u);
        DeleteObject(b);
    }
    HBITMAP mask_b = LoadBitmapA(module, "XHONOO-BK1"), image_b = LoadBitmapA(module, "XHONOO-BK2");
    std::vector<uint32_t> mask = Pixels(mask_b), image = Pixels(image_b);
    ASSERT_EQ(mask.size(), size_t(ARTWORK_SCORCH_WIDTH) * ARTWORK_SCORCH_HEIGHT);
    size_t stray = 0, black = 0;
    for (size_t i = 0; i < mask.size(); ++i) {
        stray += mask[i] != 0 && mask[i] != 0xFFFFFF;
        black += mask[i] == 0;
        if (mask[i] == 0xFFFFFF) {
            ASSERT_EQ(image[i], 0u) << "the scorch image is black outside the blob";
        }
    }
    EXPECT_LE(stray, 1u);
    EXPECT_GT(black, mask.size() / 3) << "a large blob";
    for (int y = ARTWORK_FLAME_Y; y < ARTWORK_FLAME_Y + ARTWORK_FLAME_HEIGHT; ++y) {
        for (int x = ARTWORK_FLAME_X; x < ARTWORK_FLAME_X + ARTWORK_FLAME_WIDTH; ++x) {
            ASSERT_EQ(mask[size_t(y) * ARTWORK_SCORCH_WIDTH + x], 0u) << "flame rectangle inside the blob";
        }
    }
    for (const char *flame : {"XHONOO-01", "XHONOO-02", "XHONOO-03"}) {
        HBITMAP f = LoadBitmapA(module, flame);
        std::vector<uint32_t> px = Pixels(f);
        EXPECT_EQ(std::count(px.begin(), px.end(), 0u), 0) << flame << " is opaque";
        EXPECT_EQ(px[0], 0x313131u) << flame << " stands on the grey of the char";
        DeleteObject(f);
    }
    DeleteObject(mask_b);
    DeleteObject(image_b);
}

// A resource table like the program's with one bitmap name hidden; free it with posix::free_module.
HINSTANCE ModuleWithout(const char *name) {
    std::vector<uint8_t> bytes(scrwarpvue_res, scrwarpvue_res + scrwarpvue_res_size);
    std::vector<uint8_t> wide;
    for (const char *p = name; *p; ++p) {
        wide.push_back(uint8_t(*p));
        wide.push_back(0);
    }
    wide.push_back(0);
    wide.push_back(0);
    auto at = std::search(bytes.begin(), bytes.end(), wide.begin(), wide.end());
    EXPECT_NE(at, bytes.end());
    if (at != bytes.end()) at[0] = 'Q';
    return posix::load_module(bytes.data(), bytes.size());
}

TEST_F(SaverTest, AMissingPoseCostsOneMessageAndTheSaverRunsOn) {
    HINSTANCE module = ModuleWithout("SOK-TAN00");
    ASSERT_NE(module, nullptr);
    SetProfile("[SCRWARPVUE_SECTION]\nDispType=4\n");
    PaintDesktop(200, 160);
    HWND saver = nullptr;
    bool pose_missing = false, others_loaded = true;
    std::vector<headless::Step> steps;
    steps.push_back([&] {
        saver = GetActiveWindow();
        pose_missing = g_app.poses[0] == nullptr;
        for (int i = 1; i < kPoseCount; ++i)
            others_loaded = others_loaded && g_app.poses[i] != nullptr;
    });
    for (int i = 0; i < 300; ++i)
        steps.push_back([] { headless::tick(); }); // through the stepping poses
    steps.push_back([] { headless::input(WM_KEYDOWN); });
    headless::script(steps);
    EXPECT_EQ(Run("/s", module), 0);
    ASSERT_EQ(headless::message_boxes().size(), 1u);
    const headless::ShownBox &box = headless::message_boxes()[0];
    EXPECT_EQ(box.text, "Could not load Bitmap.");
    EXPECT_EQ(box.caption, "SCRWARPVUE");
    EXPECT_EQ(box.type, UINT(MB_ICONERROR));
    EXPECT_NE(box.owner, nullptr);
    EXPECT_EQ(box.owner, saver);
    EXPECT_TRUE(pose_missing);
    EXPECT_TRUE(others_loaded);
    EXPECT_FALSE(headless::script_overrun());
    EXPECT_EQ(posix::live_gdi_objects(), 0u);
    posix::free_module(module);
}

TEST_F(SaverTest, MissingFirePicturesPassSilently) {
    HINSTANCE module = ModuleWithout("XHONOO-01");
    ASSERT_NE(module, nullptr);
    SetProfile("[SCRWARPVUE_SECTION]\nDispType=7\nEternalFire=1\n");
    PaintDesktop(400, 300);
    std::vector<headless::Step> steps;
    for (int i = 0; i < 8; ++i)
        steps.push_back([] { headless::tick(); });
    steps.push_back([] { headless::input(WM_KEYDOWN); });
    headless::script(steps);
    EXPECT_EQ(Run("/s", module), 0);
    EXPECT_TRUE(headless::message_boxes().empty());
    EXPECT_EQ(posix::live_gdi_objects(), 0u);
    posix::free_module(module);
}

} // namespace
