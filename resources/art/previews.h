// Previews for the docs: the contact sheet of every bitmap with its name, and the icon preview.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "icon.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

// 5x7 capitals, digits, '-' and 'x' for the contact sheet's labels.
const std::vector<std::pair<char, std::array<uint8_t, 7>>> kFont{
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
};

struct Sheet {
    int w, h;
    std::vector<std::array<uint8_t, 3>> px;
    Sheet(int width, int height, std::array<uint8_t, 3> bg)
        : w(width), h(height), px(static_cast<size_t>(width) * height, bg) {}
    void plot(int x, int y, std::array<uint8_t, 3> c) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[static_cast<size_t>(y) * w + x] = c;
    }
    void text(int x, int y, const std::string &s, int scale, std::array<uint8_t, 3> c) {
        for (char ch : s) {
            for (const auto &[key, rows] : kFont)
                if (key == ch)
                    for (int r = 0; r < 7; ++r)
                        for (int b = 0; b < 5; ++b)
                            if (rows[static_cast<size_t>(r)] & (0x10 >> b))
                                for (int sy = 0; sy < scale; ++sy)
                                    for (int sx = 0; sx < scale; ++sx)
                                        plot(x + b * scale + sx, y + r * scale + sy, c);
            x += 6 * scale;
        }
    }
    void image(int x, int y, const Indexed &img, const Palette &pal, int zoom) {
        for (int j = 0; j < img.h * zoom; ++j)
            for (int i = 0; i < img.w * zoom; ++i)
                plot(x + i, y + j, pal.entry[img.at(i / zoom, j / zoom)]);
    }
};

struct Named {
    std::string name;
    Indexed img;
};

void writeContactSheet(const std::string &path, const std::vector<Named> &all, const Palette &pal) {
    constexpr int kZoom = 4, kGap = 28, kLabel = 24, kWidth = 2300;
    struct Slot {
        int x, y;
    };
    std::vector<Slot> slots;
    int x = kGap, y = kGap, rowH = 0;
    for (const Named &n : all) {
        const std::string label = n.name + " " + std::to_string(n.img.w) + "x" + std::to_string(n.img.h);
        const int cw = std::max(n.img.w * kZoom, static_cast<int>(label.size()) * 12);
        const int chh = n.img.h * kZoom + kLabel;
        if (x + cw > kWidth - kGap) {
            x = kGap;
            y += rowH + kGap;
            rowH = 0;
        }
        slots.push_back({x, y});
        x += cw + kGap;
        rowH = std::max(rowH, chh);
    }
    Sheet sheet(kWidth, y + rowH + kGap, {38, 42, 56});
    for (size_t i = 0; i < all.size(); ++i) {
        const Named &n = all[i];
        const int ix = slots[i].x, iy = slots[i].y;
        for (int j = -1; j <= n.img.h * kZoom; ++j)
            for (int k = -1; k <= n.img.w * kZoom; ++k)
                sheet.plot(ix + k, iy + j, {70, 76, 96});
        sheet.image(ix, iy, n.img, pal, kZoom);
        sheet.text(ix, iy + n.img.h * kZoom + 6,
                   n.name + " " + std::to_string(n.img.w) + "x" + std::to_string(n.img.h), 2,
                   {220, 224, 236});
    }
    std::ofstream f(path, std::ios::binary);
    f << "P6\n" << sheet.w << " " << sheet.h << "\n255\n";
    for (const auto &c : sheet.px)
        f.write(reinterpret_cast<const char *>(c.data()), 3);
    require(f.good(), "could not write " + path);
}

void writeIconPreview(const std::string &path, const Icon &icon) {
    constexpr int kZoom = 8;
    std::ofstream f(path, std::ios::binary);
    f << "P7\nWIDTH " << 32 * kZoom << "\nHEIGHT " << 32 * kZoom
      << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    for (int y = 0; y < 32 * kZoom; ++y)
        for (int x = 0; x < 32 * kZoom; ++x) {
            const size_t i = static_cast<size_t>((y / kZoom) * 32 + x / kZoom);
            const auto &c = kIconPalette[icon.colour[i]];
            const char rgba[4] = {static_cast<char>(c[0]), static_cast<char>(c[1]), static_cast<char>(c[2]),
                                  static_cast<char>(icon.opaque[i] ? 255 : 0)};
            f.write(rgba, 4);
        }
    require(f.good(), "could not write " + path);
}

} // namespace
