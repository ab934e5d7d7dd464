// Colours: RGB mixing and ramps, the named ramps of the figures and the fire, and the one 256-colour
// palette every bitmap shares.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "maths.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

struct Rgb {
    double r = 0, g = 0, b = 0;
};
Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
using Ramp = std::vector<Rgb>;
Rgb at(const Ramp &ramp, double t) {
    t = clamp01(t) * static_cast<double>(ramp.size() - 1);
    const size_t i = std::min(static_cast<size_t>(t), ramp.size() - 2);
    return mix(ramp[i], ramp[i + 1], t - static_cast<double>(i));
}

const Rgb kInk{20, 20, 40};
const Rgb kCharGrey{49, 49, 49};
const Rgb kWhite{255, 255, 255};
const Ramp kCyan{{30, 66, 90},    {66, 128, 150},  {126, 198, 214},
                 {186, 236, 244}, {226, 252, 255}, {255, 255, 255}};
const Ramp kSkin{{112, 56, 42},   {188, 110, 78},  {234, 160, 118},
                 {250, 200, 160}, {255, 228, 204}, {255, 248, 238}};
const Ramp kSteel{{36, 40, 54}, {88, 96, 116}, {148, 158, 178}, {204, 212, 228}, {248, 250, 255}};
const Ramp kShoe{{26, 34, 86}, {52, 76, 160}, {96, 132, 220}, {176, 200, 255}};
const Ramp kNavy{{12, 16, 48}, {24, 36, 92}, {50, 84, 170}, {110, 160, 240}, {190, 220, 255}};
const Ramp kFire{{110, 12, 6},   {176, 26, 8},   {226, 70, 12},   {248, 128, 22},
                 {255, 178, 40}, {255, 220, 72}, {255, 244, 160}, {255, 255, 236}};
const Ramp kEmber{{49, 49, 49}, {80, 36, 28}, {110, 12, 6}};
const Ramp kBoard{{8, 34, 18}, {22, 78, 40}, {40, 124, 62}, {80, 176, 100}, {150, 220, 160}};
const Ramp kCopper{{70, 46, 18}, {150, 104, 40}, {208, 164, 70}, {246, 222, 150}};
const Ramp kPink{{86, 16, 34}, {150, 36, 58}, {226, 96, 116}, {252, 164, 170}, {255, 214, 214}};
const Ramp kRedButton{{90, 8, 18}, {200, 30, 44}, {255, 110, 110}, {255, 200, 200}};
const Ramp kGreenButton{{10, 66, 22}, {50, 180, 64}, {150, 240, 150}, {220, 255, 220}};

struct Palette {
    std::array<std::array<uint8_t, 3>, 256> entry{};
    int used = 0;
    std::unordered_map<uint32_t, uint8_t> cache;

    void add(int r, int g, int b) {
        if (used >= 256) return;
        for (int i = 0; i < used; ++i)
            if (entry[i][0] == r && entry[i][1] == g && entry[i][2] == b) return;
        entry[used++] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
    }
    void add(Rgb c) {
        add(static_cast<int>(c.r + 0.5), static_cast<int>(c.g + 0.5), static_cast<int>(c.b + 0.5));
    }
    void addRamp(const Ramp &ramp, int n) {
        for (int i = 0; i < n; ++i)
            add(at(ramp, static_cast<double>(i) / (n - 1)));
    }
    // Closest entry other than 0, which is reserved for "see-through" black.
    uint8_t nearest(Rgb c) {
        const int r = std::clamp(static_cast<int>(c.r + 0.5), 0, 255);
        const int g = std::clamp(static_cast<int>(c.g + 0.5), 0, 255);
        const int b = std::clamp(static_cast<int>(c.b + 0.5), 0, 255);
        const uint32_t key = static_cast<uint32_t>(r << 16 | g << 8 | b);
        if (auto it = cache.find(key); it != cache.end()) return it->second;
        int best = 1, bestDist = 1 << 30;
        for (int i = 1; i < used; ++i) {
            const int dr = r - entry[i][0], dg = g - entry[i][1], db = b - entry[i][2];
            const int dist = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (dist < bestDist) {
                bestDist = dist;
                best = i;
            }
        }
        cache[key] = static_cast<uint8_t>(best);
        return static_cast<uint8_t>(best);
    }
    bool isBlack(uint8_t i) const { return entry[i][0] == 0 && entry[i][1] == 0 && entry[i][2] == 0; }
    bool isWhite(uint8_t i) const { return entry[i][0] == 255 && entry[i][1] == 255 && entry[i][2] == 255; }
};

constexpr uint8_t kIndexBlack = 0, kIndexWhite = 1, kIndexChar = 2;

Palette buildPalette() {
    Palette p;
    p.add(0, 0, 0);
    p.add(255, 255, 255);
    p.add(kCharGrey);
    p.add(kInk);
    p.addRamp(kCyan, 28);
    p.addRamp(kSkin, 24);
    p.addRamp(kFire, 48);
    p.addRamp(kEmber, 6);
    p.addRamp(kSteel, 12);
    p.addRamp(kShoe, 10);
    p.addRamp(kNavy, 12);
    p.addRamp(kBoard, 14);
    p.addRamp(kCopper, 10);
    p.addRamp(kPink, 10);
    p.addRamp(kRedButton, 6);
    p.addRamp(kGreenButton, 6);
    for (int v = 24; v <= 232; v += 13)
        p.add(v, v, v);
    const int levels[] = {0, 85, 170, 255};
    for (int r : levels)
        for (int g : levels)
            for (int b : levels)
                if (r + g + b > 0) p.add(r, g, b);
    for (int v = 1; p.used < 256; ++v)
        p.add(v * 2, v * 2 + 1, v * 2 + 2);
    return p;
}

} // namespace
