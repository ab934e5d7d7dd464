// The icon: its 16-colour picture, and its encoding as an ICO file and as PNG for desktop menus.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "poses.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

const std::array<std::array<uint8_t, 3>, 16> kIconPalette{{{0, 0, 0},
                                                           {128, 0, 0},
                                                           {0, 128, 0},
                                                           {128, 128, 0},
                                                           {0, 0, 128},
                                                           {128, 0, 128},
                                                           {0, 128, 128},
                                                           {192, 192, 192},
                                                           {128, 128, 128},
                                                           {255, 0, 0},
                                                           {0, 255, 0},
                                                           {255, 255, 0},
                                                           {0, 0, 255},
                                                           {255, 0, 255},
                                                           {0, 255, 255},
                                                           {255, 255, 255}}};
enum IconColour : uint8_t {
    kIcBlack = 0,
    kIcPurple = 5,
    kIcGreen = 2,
    kIcLime = 10,
    kIcYellow = 11,
    kIcMagenta = 13,
    kIcWhite = 15,
    kIcRed = 9,
    kIcNavy = 4,
    kIcSilver = 7
};

struct Icon {
    std::array<uint8_t, 32 * 32> colour{}; // top-down
    std::array<bool, 32 * 32> opaque{};
};

Icon drawIcon() {
    Pose p = standing();
    p.armSpread = {1.0, 1.0};
    p.mouth = Mouth::None;
    p.antenna = false; // too fine to survive at 32 pixels; the pointed head says it
    const Figure fig = RobotBuilder(p).build();
    // 65 model units tall -> 28 pixels, feet on row 30, an outline row free above and below
    const double scale = 28.5 / 66;
    const Raster r = rasterise(fig, translate(16, 30.6) * Affine{scale, 0, 0, -scale, 0, 0}, 32, 32);
    Icon icon;
    for (int i = 0; i < 32 * 32; ++i) {
        if (r.hits[static_cast<size_t>(i)] < 6) continue;
        icon.opaque[static_cast<size_t>(i)] = true;
        uint8_t c = kIcYellow;
        switch (r.mat[static_cast<size_t>(i)]) {
        case Mat::Body:
        case Mat::Button:
            c = kIcMagenta;
            break;
        case Mat::Limb:
        case Mat::Hand:
        case Mat::Foot:
            c = kIcLime;
            break;
        case Mat::EyeWhite:
        case Mat::Shine:
            c = kIcWhite;
            break;
        case Mat::Pupil:
        case Mat::Ink:
            c = kIcNavy;
            break;
        case Mat::Mouth:
        case Mat::Cheek:
            c = kIcRed;
            break;
        case Mat::Antenna:
            c = kIcSilver;
            break;
        default:
            c = kIcYellow;
        }
        icon.colour[static_cast<size_t>(i)] = c;
    }
    // a dark outline all round makes the shape read on any desktop
    Icon out = icon;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (icon.opaque[static_cast<size_t>(y * 32 + x)]) continue;
            bool near = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < 32 && ny < 32 &&
                        icon.opaque[static_cast<size_t>(ny * 32 + nx)])
                        near = true;
                }
            if (near) {
                out.opaque[static_cast<size_t>(y * 32 + x)] = true;
                out.colour[static_cast<size_t>(y * 32 + x)] = kIcBlack;
            }
        }
    return out;
}

std::vector<uint8_t> encodeIco(const Icon &icon) {
    const uint32_t xorSize = 32 * 16, andSize = 32 * 4;
    const uint32_t bytesInRes = 40 + 16 * 4 + xorSize + andSize;
    std::vector<uint8_t> out;
    put16(out, 0);
    put16(out, 1); // icon
    put16(out, 1); // one image
    out.push_back(32);
    out.push_back(32);
    out.push_back(16);
    out.push_back(0);
    put16(out, 1);
    put16(out, 4);
    put32(out, bytesInRes);
    put32(out, 6 + 16);
    put32(out, 40);
    put32(out, 32);
    put32(out, 64);
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, xorSize + andSize);
    put32(out, 0);
    put32(out, 0);
    put32(out, 16);
    put32(out, 0);
    for (const auto &e : kIconPalette) {
        out.push_back(e[2]);
        out.push_back(e[1]);
        out.push_back(e[0]);
        out.push_back(0);
    }
    for (int y = 31; y >= 0; --y)
        for (int x = 0; x < 32; x += 2) {
            const size_t a = static_cast<size_t>(y * 32 + x);
            const uint8_t hi = icon.opaque[a] ? icon.colour[a] : 0,
                          lo = icon.opaque[a + 1] ? icon.colour[a + 1] : 0;
            out.push_back(static_cast<uint8_t>(hi << 4 | lo));
        }
    for (int y = 31; y >= 0; --y)
        for (int byte = 0; byte < 4; ++byte) {
            uint8_t bits = 0;
            for (int b = 0; b < 8; ++b)
                if (!icon.opaque[static_cast<size_t>(y * 32 + byte * 8 + b)])
                    bits |= static_cast<uint8_t>(0x80 >> b);
            out.push_back(bits);
        }
    require(out.size() == 6 + 16 + bytesInRes, "ICO length bookkeeping");
    return out;
}

// The icon as a PNG for desktop menus: RGBA, each icon pixel a zoom x zoom block, the image data in
// stored (uncompressed) deflate blocks so the bytes depend on nothing but the pixels.
void putBe32(std::vector<uint8_t> &out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t crc32(const uint8_t *p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void pngChunk(std::vector<uint8_t> &out, const char type[5], const std::vector<uint8_t> &data) {
    putBe32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBe32(out, crc32(out.data() + start, out.size() - start));
}

std::vector<uint8_t> encodeIconPng(const Icon &icon, int zoom) {
    const uint32_t side = 32u * static_cast<uint32_t>(zoom);
    std::vector<uint8_t> raw; // filter byte 0, then RGBA, per row
    for (uint32_t y = 0; y < side; ++y) {
        raw.push_back(0);
        for (uint32_t x = 0; x < side; ++x) {
            const size_t i = (y / static_cast<uint32_t>(zoom)) * 32 + x / static_cast<uint32_t>(zoom);
            const auto &c = kIconPalette[icon.colour[i]];
            raw.insert(raw.end(), {c[0], c[1], c[2], static_cast<uint8_t>(icon.opaque[i] ? 255 : 0)});
        }
    }
    std::vector<uint8_t> z{0x78, 0x01};
    for (size_t at = 0; at < raw.size();) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        put16(z, static_cast<uint32_t>(n));
        put16(z, static_cast<uint32_t>(~n & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    }
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    putBe32(z, b << 16 | a);

    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBe32(header, side);
    putBe32(header, side);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter choice, no interlace
    pngChunk(out, "IHDR", header);
    pngChunk(out, "IDAT", z);
    pngChunk(out, "IEND", {});
    return out;
}

} // namespace
