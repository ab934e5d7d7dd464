// Resources of the posix layer: bitmaps decoded from DIBs of every depth the program may meet, and
// truncated or corrupt bytes refused without reading past them (AddressSanitizer watches the reads).

#include "support.h"

#include "platform/posix/dialog_template.h"

#include <cstring>
#include <memory>

extern "C" const uint8_t scrwarpvue_res[];
extern "C" const uint32_t scrwarpvue_res_size;

namespace {

class PlatformResources : public test::SaverTest {};

void Put16(std::vector<uint8_t> &v, size_t at, uint32_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}
void Put32(std::vector<uint8_t> &v, size_t at, uint32_t x) {
    Put16(v, at, x);
    Put16(v, at + 2, x >> 16);
}

constexpr int kW = 5, kH = 3; // odd width: every depth pads its rows

uint32_t PaletteColour(int i) {
    return uint32_t(i * 0x010203 + 0x400000) & 0xFFFFFF;
}
int Index(int x, int y, int colours) {
    return (x + 2 * y + 1) % colours;
}
uint32_t TrueColour(int x, int y) {
    return uint32_t(x * 40) << 16 | uint32_t(y * 70) << 8 | uint32_t(x + y + 9);
}

// A DIB with a 40-byte header of the 5x3 test picture: palette indices for depths up to 8, colours above.
std::vector<uint8_t> Dib(int bits, bool top_down, int colours = 0) {
    const int stride = (kW * bits + 31) / 32 * 4;
    std::vector<uint8_t> v(40 + size_t(colours) * 4 + size_t(stride) * kH);
    Put32(v, 0, 40);
    Put32(v, 4, kW);
    Put32(v, 8, uint32_t(top_down ? -kH : kH));
    Put16(v, 12, 1);
    Put16(v, 14, uint32_t(bits));
    Put32(v, 32, uint32_t(colours));
    for (int i = 0; i < colours; ++i)
        Put32(v, 40 + size_t(i) * 4, PaletteColour(i) | 0xEE000000u);
    uint8_t *pixels = v.data() + 40 + size_t(colours) * 4;
    for (int y = 0; y < kH; ++y) {
        uint8_t *row = pixels + size_t(stride) * size_t(top_down ? y : kH - 1 - y);
        for (int x = 0; x < kW; ++x) {
            const uint32_t c = TrueColour(x, y);
            switch (bits) {
            case 1:
                row[x / 8] |= uint8_t(Index(x, y, colours) << (7 - x % 8));
                break;
            case 4:
                row[x / 2] |= uint8_t(Index(x, y, colours) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[x] = uint8_t(Index(x, y, colours));
                break;
            case 24:
                std::memcpy(row + x * 3, &c, 3);
                break; // little endian: blue, green, red
            case 32:
                std::memcpy(row + x * 4, &c, 4);
                row[x * 4 + 3] = 0x77;
                break;
            }
        }
    }
    return v;
}

// Decodes from a heap block of exactly the given length, so that any read past it is caught.
HBITMAP Decode(const std::vector<uint8_t> &bytes, size_t length) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[length]);
    std::memcpy(exact.get(), bytes.data(), length);
    return posix::decode_dib(exact.get(), length);
}

TEST_F(PlatformResources, EveryDepthAndRowOrderDecodesToItsPixels) {
    struct Case {
        int bits, colours;
    } cases[] = {{1, 2}, {4, 16}, {4, 5}, {8, 256}, {8, 200}, {24, 0}, {32, 0}};
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Case &c : cases) {
        for (bool top_down : {false, true}) {
            HBITMAP b = Decode(Dib(c.bits, top_down, c.colours), Dib(c.bits, top_down, c.colours).size());
            ASSERT_NE(b, nullptr) << c.bits << " bits";
            HGDIOBJ old = SelectObject(dc, b);
            BITMAP info{};
            GetObjectA(b, sizeof info, &info);
            EXPECT_EQ(info.bmWidth, kW);
            EXPECT_EQ(info.bmHeight, kH);
            for (int y = 0; y < kH; ++y) {
                for (int x = 0; x < kW; ++x) {
                    uint32_t want = c.colours ? PaletteColour(Index(x, y, c.colours)) : TrueColour(x, y);
                    EXPECT_EQ(GetPixel(dc, x, y), RGB(want >> 16, (want >> 8) & 0xFF, want & 0xFF))
                        << c.bits << " bits, " << (top_down ? "top-down" : "bottom-up") << " at " << x << ","
                        << y;
                }
            }
            SelectObject(dc, old);
            DeleteObject(b);
        }
    }
    DeleteDC(dc);
}

TEST_F(PlatformResources, CorruptHeadersAreRefused) {
    struct Case {
        const char *what;
        size_t at;
        int width; // 2 or 4 bytes
        uint32_t value;
    } cases[] = {
        {"zero width", 4, 4, 0},
        {"negative width", 4, 4, uint32_t(-5)},
        {"huge width", 4, 4, 0x7FFFFFFF},
        {"zero height", 8, 4, 0},
        {"huge height", 8, 4, 0x40000000},
        {"most negative height", 8, 4, 0x80000000},
        {"no bits", 14, 2, 0},
        {"2 bits", 14, 2, 2},
        {"16 bits", 14, 2, 16},
        {"7 bits", 14, 2, 7},
        {"two planes", 12, 2, 2},
        {"run-length compressed", 16, 4, 1},
        {"257 colours", 32, 4, 257},
        {"header larger than the data", 0, 4, 4096},
        {"header shorter than an info header", 0, 4, 39},
        {"header of 4 GB", 0, 4, 0xFFFFFFFF},
    };
    const std::vector<uint8_t> good = Dib(8, false, 256);
    HBITMAP b = Decode(good, good.size());
    ASSERT_NE(b, nullptr);
    DeleteObject(b);
    for (const Case &c : cases) {
        std::vector<uint8_t> bad = good;
        if (c.width == 2)
            Put16(bad, c.at, c.value);
        else
            Put32(bad, c.at, c.value);
        HBITMAP b = Decode(bad, bad.size());
        EXPECT_EQ(b, nullptr) << c.what;
        if (b) DeleteObject(b);
    }
}

TEST_F(PlatformResources, EveryTruncatedDibIsRefused) {
    const std::vector<uint8_t> dib = Dib(8, false, 256);
    for (size_t length = 0; length < dib.size(); ++length)
        EXPECT_EQ(Decode(dib, length), nullptr) << length;
}

TEST_F(PlatformResources, TruncatedResourceTablesAreRefusedOrReadWithinBounds) {
    const char *names[] = {"SOK-TAN00", "FLY-01", "DMY-00", "OPEN-05", "RIGH-01"};
    HINSTANCE whole = posix::load_module(scrwarpvue_res, scrwarpvue_res_size);
    ASSERT_NE(whole, nullptr);
    for (const char *name : names) {
        HBITMAP b = LoadBitmapA(whole, name);
        EXPECT_NE(b, nullptr) << name;
        DeleteObject(b);
    }
    posix::free_module(whole);

    for (size_t length = 0; length < scrwarpvue_res_size; length += length < 2048 ? 1 : 199) {
        std::unique_ptr<uint8_t[]> exact(new uint8_t[length]);
        std::memcpy(exact.get(), scrwarpvue_res, length);
        HINSTANCE module = posix::load_module(exact.get(), length);
        if (!module) continue;
        for (const char *name : names)
            DeleteObject(LoadBitmapA(module, name));
        const uint8_t *data = nullptr;
        uint32_t size = 0;
        if (posix::find_resource(module, RT_DIALOG, "DLG_QUINDLEX", &data, &size)) {
            uint32_t sum = 0; // every byte the table claims for the dialog is readable
            for (uint32_t i = 0; i < size; ++i)
                sum += data[i];
            EXPECT_LE(size, length) << sum;
        }
        posix::free_module(module);
    }
}

// One dialog template in both forms Windows knows: the standard one and the extended one (help ids,
// weight, italic and character set, 32-bit control ids). Both read alike; every truncation is refused.
std::vector<uint8_t> DialogTemplate(bool extended) {
    std::vector<uint8_t> v;
    auto w = [&](uint32_t x) {
        v.push_back(uint8_t(x));
        v.push_back(uint8_t(x >> 8));
    };
    auto d = [&](uint32_t x) {
        w(x & 0xFFFF);
        w(x >> 16);
    };
    auto text = [&](const char16_t *t) {
        for (; *t; ++t)
            w(*t);
        w(0);
    };
    const uint32_t style = WS_POPUP | DS_SHELLFONT, control_style = BS_AUTORADIOBUTTON | WS_TABSTOP;
    if (extended) {
        w(1), w(0xFFFF), d(7), d(0), d(style);
    } else {
        d(style), d(0);
    }
    w(1), w(10), w(20), w(188), w(169), w(0), w(0), text(u"設定"), w(9);
    if (extended) w(400), w(0x0100);
    text(u"MS Shell Dlg");
    while (v.size() % 4)
        v.push_back(0);
    if (extended) {
        d(7), d(0), d(control_style), w(37), w(86), w(106), w(9), d(uint32_t(-1));
    } else {
        d(control_style), d(0), w(37), w(86), w(106), w(9), w(0xFFFF);
    }
    w(0xFFFF), w(0x80), text(u"過剰電圧"), w(0);
    return v;
}

TEST(DialogTemplates, StandardAndExtendedReadAlike) {
    for (bool extended : {false, true}) {
        const std::vector<uint8_t> bytes = DialogTemplate(extended);
        posix::ParsedDialog parsed;
        ASSERT_TRUE(posix::parse_dialog_template(bytes.data(), bytes.size(), &parsed)) << extended;
        const backend::DialogTemplate &t = parsed.tpl;
        EXPECT_EQ(t.style, DWORD(WS_POPUP | DS_SHELLFONT));
        EXPECT_EQ(std::vector<int>({t.x, t.y, t.cx, t.cy, t.point_size, t.count}),
                  std::vector<int>({10, 20, 188, 169, 9, 1}));
        EXPECT_STREQ(t.caption, "設定");
        EXPECT_STREQ(t.font, "MS Shell Dlg");
        const backend::DialogControl &c = t.controls[0];
        EXPECT_EQ(std::vector<int>({c.id, c.x, c.y, c.cx, c.cy}), std::vector<int>({-1, 37, 86, 106, 9}));
        EXPECT_EQ(c.style, DWORD(BS_AUTORADIOBUTTON | WS_TABSTOP));
        EXPECT_STREQ(c.klass, "BUTTON");
        EXPECT_STREQ(c.text, "過剰電圧");
        for (size_t length = 0; length < bytes.size(); ++length)
            EXPECT_FALSE(posix::parse_dialog_template(bytes.data(), length, &parsed))
                << extended << " " << length;
    }
}

} // namespace
