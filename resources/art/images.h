// Indexed pictures: an 8-bit image over the shared palette, its mirror image, and its encoding as an
// 8-bit BMP file.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "colour.h"
#include "require.h"

#include <cstdint>
#include <vector>

namespace {

struct Indexed {
    int w = 0, h = 0;
    std::vector<uint8_t> px; // top-down
    Indexed() = default;
    Indexed(int width, int height, uint8_t fill = 0)
        : w(width), h(height), px(static_cast<size_t>(width) * height, fill) {}
    uint8_t &at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
    uint8_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

Indexed mirrored(const Indexed &src) {
    Indexed out(src.w, src.h);
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x)
            out.at(x, y) = src.at(src.w - 1 - x, y);
    return out;
}

void put16(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t> &out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
uint32_t get32(const std::vector<uint8_t> &in, size_t at) {
    return in[at] | in[at + 1] << 8 | in[at + 2] << 16 | static_cast<uint32_t>(in[at + 3]) << 24;
}

std::vector<uint8_t> encodeBmp(const Indexed &img, const Palette &pal) {
    const uint32_t stride = (static_cast<uint32_t>(img.w) + 3) & ~3u;
    const uint32_t imageSize = stride * static_cast<uint32_t>(img.h);
    const uint32_t offBits = 14 + 40 + 256 * 4;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, offBits + imageSize);
    put32(out, 0);
    put32(out, offBits);
    put32(out, 40);
    put32(out, static_cast<uint32_t>(img.w));
    put32(out, static_cast<uint32_t>(img.h));
    put16(out, 1);
    put16(out, 8);
    put32(out, 0); // BI_RGB
    put32(out, imageSize);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 256);
    put32(out, 0);
    for (const auto &e : pal.entry) {
        out.push_back(e[2]);
        out.push_back(e[1]);
        out.push_back(e[0]);
        out.push_back(0);
    }
    for (int y = img.h - 1; y >= 0; --y) {
        for (int x = 0; x < img.w; ++x)
            out.push_back(img.at(x, y));
        for (uint32_t pad = static_cast<uint32_t>(img.w); pad < stride; ++pad)
            out.push_back(0);
    }
    require(out.size() == offBits + imageSize && get32(out, 2) == out.size(), "BMP length bookkeeping");
    return out;
}

} // namespace
