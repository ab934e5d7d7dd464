// The fire pictures: the scorch mask, the scorch image with the exposed circuit board, and the three
// flame frames.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "images.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int kScorchW = 275, kScorchH = 317;
constexpr int kFlameX0 = 112, kFlameY0 = 54, kFlameX1 = 213, kFlameY1 = 275;
constexpr int kFlameW = 102, kFlameH = 222;

// How far a point is towards the edge of the scorch: < 1 inside; the rim is ragged.
struct Scorch {
    double cx = 156, cy = 160, a = 108, b = 153;
    V2 blot{50, 270};
    double blotR = 20;

    double oval(double x, double y) const {
        const double dx = (x - cx) / a, dy = (y - cy) / b;
        const double theta = matan2(dy, dx);
        const double wobble = 1 + 0.035 * msin(3 * theta + 1.1) + 0.025 * msin(5 * theta + 2.3) +
                              0.02 * msin(9 * theta + 0.4) + 0.05 * (fbm(x * 0.05, y * 0.05, 77) - 0.5);
        const double sq = dx * dx + dy * dy;
        const double round = sq * std::sqrt(sq);
        const double boxy = std::abs(dx * dx * dx) + std::abs(dy * dy * dy);
        return mcbrt(0.5 * round + 0.5 * boxy) / wobble;
    }
    double blotLevel(double x, double y) const {
        const double r = length(V2{x, y} - blot) / blotR;
        return r / (1 + 0.12 * (fbm(x * 0.12, y * 0.12, 78) - 0.5));
    }
    // The rim is dithered: solid inside 0.97, scattered out to 1.035.
    bool burnt(int x, int y) const {
        const double q = std::min(oval(x + 0.5, y + 0.5), blotLevel(x + 0.5, y + 0.5));
        if (q < 0.97) return true;
        if (q > 1.035) return false;
        const double chance = 1 - (q - 0.97) / 0.065;
        return hash01(x, y, 5) < chance * chance;
    }
    double level(int x, int y) const { return std::min(oval(x + 0.5, y + 0.5), blotLevel(x + 0.5, y + 0.5)); }
};

Indexed scorchMask(const Scorch &s) {
    Indexed img(kScorchW, kScorchH, kIndexWhite);
    for (int y = 0; y < kScorchH; ++y)
        for (int x = 0; x < kScorchW; ++x)
            if (s.burnt(x, y)) img.at(x, y) = kIndexBlack;
    return img;
}

// An RGB scratch canvas for the circuit board.
struct RgbCanvas {
    int w, h;
    std::vector<Rgb> px;
    std::vector<bool> set;
    RgbCanvas(int width, int height)
        : w(width), h(height), px(static_cast<size_t>(width) * height), set(px.size()) {}
    void plot(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        px[static_cast<size_t>(y) * w + x] = c;
        set[static_cast<size_t>(y) * w + x] = true;
    }
    void rect(int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                plot(x, y, c);
    }
    void disc(double cx, double cy, double r, Rgb c) {
        for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y)
            for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x)
                if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= r * r) plot(x, y, c);
    }
    void line(V2 a, V2 b, double r, Rgb c) {
        for (int y = static_cast<int>(std::min(a.y, b.y) - r - 1);
             y <= static_cast<int>(std::max(a.y, b.y) + r + 1); ++y)
            for (int x = static_cast<int>(std::min(a.x, b.x) - r - 1);
                 x <= static_cast<int>(std::max(a.x, b.x) + r + 1); ++x)
                if (sdSegment({x + 0.5, y + 0.5}, a, b) <= r) plot(x, y, c);
    }
};

// The exposed circuit board, drawn in scorch-image coordinates inside the flame rectangle.
RgbCanvas circuitBoard() {
    RgbCanvas c(kScorchW, kScorchH);
    const int x0 = 124, x1 = 201, y0 = 68, y1 = 262;
    // board with a burnt, wavy edge
    for (int y = y0 - 6; y <= y1 + 6; ++y)
        for (int x = x0 - 6; x <= x1 + 6; ++x) {
            const double edge =
                std::min({x - x0, x1 - x, y - y0, y1 - y}) + 7 * (fbm(x * 0.09, y * 0.09, 31) - 0.5);
            if (edge < 0) continue;
            const double grain = fbm(x * 0.3, y * 0.3, 32, 2);
            Rgb col = at(kBoard, 0.34 + 0.1 * grain);
            if (edge < 4) col = mix(Rgb{60, 46, 30}, col, edge / 4);
            if (edge < 1.5) col = mix(Rgb{34, 30, 26}, Rgb{72, 54, 34}, hash01(x, y, 33));
            c.plot(x, y, col);
        }
    auto inBoard = [&](double x, double y) { return x > x0 + 5 && x < x1 - 5 && y > y0 + 5 && y < y1 - 5; };
    const Rgb trace = at(kBoard, 0.62), traceEdge = at(kBoard, 0.5);
    Lcg rng{12345};
    // traces: vertical runs with 45-degree jogs, ending in pads
    for (int k = 0; k < 11; ++k) {
        double x = x0 + 9 + k * 6.5, y = y0 + 6 + rng.range(0, 20);
        const double yEnd = y1 - 6 - rng.range(0, 30);
        std::vector<V2> pts{{x, y}};
        while (y < yEnd) {
            y = std::min(yEnd, y + rng.range(14, 40));
            pts.push_back({x, y});
            if (y < yEnd - 12) {
                const int jog = rng.range(-1, 1) * 5;
                if (inBoard(x + jog, y + 5)) {
                    x += jog;
                    y += 5;
                    pts.push_back({x, y});
                }
            }
        }
        for (size_t i = 1; i < pts.size(); ++i)
            c.line(pts[i - 1], pts[i], 1.2, traceEdge);
        for (size_t i = 1; i < pts.size(); ++i)
            c.line(pts[i - 1], pts[i], 0.6, trace);
        for (V2 end : {pts.front(), pts.back()}) {
            c.disc(end.x, end.y, 2.6, at(kCopper, 0.7));
            c.disc(end.x - 0.4, end.y - 0.4, 1.2, at(kCopper, 0.95));
            c.disc(end.x, end.y, 0.9, Rgb{20, 22, 20});
        }
    }
    // chips
    struct Chip {
        int x, y, w, h;
    };
    const Chip chips[] = {
        {134, 86, 30, 20}, {168, 124, 22, 34}, {132, 150, 24, 24}, {150, 200, 40, 22}, {136, 236, 18, 12}};
    for (const Chip &ch : chips) {
        for (int py = ch.y + 2; py < ch.y + ch.h - 2; py += 4) {
            c.rect(ch.x - 3, py, ch.x, py + 1, at(kSteel, 0.8));
            c.rect(ch.x + ch.w, py, ch.x + ch.w + 3, py + 1, at(kSteel, 0.8));
        }
        c.rect(ch.x, ch.y, ch.x + ch.w, ch.y + ch.h, Rgb{30, 32, 36});
        c.rect(ch.x + 1, ch.y + 1, ch.x + ch.w - 1, ch.y + 1, Rgb{62, 64, 72});
        c.disc(ch.x + 4, ch.y + 5, 1.5, Rgb{80, 82, 90});
        for (int t = 0; t < ch.w / 6; ++t)
            c.rect(ch.x + 9 + t * 3, ch.y + ch.h / 2, ch.x + 10 + t * 3, ch.y + ch.h / 2, Rgb{110, 112, 118});
    }
    // resistors and capacitors
    for (int k = 0; k < 6; ++k) {
        const int x = rng.range(x0 + 10, x1 - 20), y = rng.range(y0 + 10, y1 - 12);
        if (k % 2 == 0) {
            c.rect(x, y, x + 10, y + 3, Rgb{200, 170, 120});
            c.rect(x + 3, y, x + 3, y + 3, Rgb{150, 40, 30});
            c.rect(x + 6, y, x + 6, y + 3, Rgb{60, 60, 200});
        } else {
            c.disc(x + 3, y + 3, 3.4, Rgb{40, 70, 160});
            c.disc(x + 2.2, y + 2.2, 1.2, Rgb{140, 180, 240});
        }
    }
    return c;
}

Indexed scorchImage(const Scorch &s, const Indexed &mask, Palette &pal) {
    const RgbCanvas board = circuitBoard();
    Indexed img(kScorchW, kScorchH, kIndexBlack);
    for (int y = 0; y < kScorchH; ++y)
        for (int x = 0; x < kScorchW; ++x) {
            if (mask.at(x, y) != kIndexBlack) continue;
            const size_t i = static_cast<size_t>(y) * kScorchW + x;
            if (board.set[i]) {
                img.at(x, y) = pal.nearest(board.px[i]);
                continue;
            }
            // char: flat grey, mottled and flecked with ash towards the ragged rim
            const double q = s.level(x, y);
            uint8_t idx = kIndexChar;
            const double rim = smoothstep(0.8, 1.0, q);
            if (rim > 0) {
                const double n = fbm(x * 0.09, y * 0.09, 40, 3);
                double v = 49 + (n - 0.5) * 90 * rim;
                if (hash01(x, y, 41) < 0.12 * rim) v += 28;
                idx = pal.nearest({v, v, v});
            }
            img.at(x, y) = idx;
        }
    return img;
}

Indexed flameFrame(int frame, Palette &pal) {
    Indexed img(kFlameW, kFlameH, kIndexChar);
    const uint32_t seed = 500 + 37u * static_cast<uint32_t>(frame);
    const double tipAt = 0.9 + 0.04 * frame;
    for (int y = 0; y < kFlameH; ++y)
        for (int x = 0; x < kFlameW; ++x) {
            const double X = x + 0.5 - kFlameW / 2.0, Y = kFlameH - (y + 0.5);
            const double h = Y / kFlameH;
            // the flame sways more towards its tip
            const double sway = (fbm(h * 2.2, frame * 3.1, seed) - 0.5) * 34 * h * h;
            const double xx = X - sway;
            const double rest = std::max(0.0, 1 - h / tipAt);
            double w = 45 * std::sqrt(rest) * std::sqrt(std::sqrt(rest)) *
                       (1 + 0.12 * smoothstep(0.0, 0.25, h)) * (0.9 + 0.1 * smoothstep(0.0, 0.05, h));
            w = std::max(w, 0.001);
            const double licks = fbm(X * 0.05, Y * 0.016 - frame * 1.7, seed + 1);
            const double fine = fbm(X * 0.12, Y * 0.04 + frame * 2.3, seed + 2, 3);
            double heat = 1 - std::abs(xx) / w;
            heat += (licks - 0.5) * (0.55 + 1.1 * h) + (fine - 0.5) * 0.3;
            heat -= 0.45 * h * h;
            Rgb col;
            if (heat <= 0) {
                // a faint glow just outside the flame
                const double glow = clamp01(1 + heat / 0.12);
                if (glow <= 0.02) continue;
                col = at(kEmber, glow * 0.7);
            } else {
                const double t = heat * (1.12 - 0.5 * h) + 0.06 * (1 - h);
                col = at(kFire, t);
            }
            img.at(x, y) = pal.nearest(col);
        }
    return img;
}

} // namespace
