// The maths the drawings use: sine, cosine, arctangent and cube root from +, -, *, / and sqrt
// only, smoothing, integer hashing and value noise, a small generator, 2-D vectors, affine maps and
// signed distances.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;

double msin(double x) {
    x -= 2 * kPi * std::floor((x + kPi) / (2 * kPi));
    if (x > kPi / 2)
        x = kPi - x;
    else if (x < -kPi / 2)
        x = -kPi - x;
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n <= 10; ++n) {
        term *= -x2 / ((2.0 * n) * (2.0 * n + 1));
        sum += term;
    }
    return sum;
}
double mcos(double x) {
    return msin(x + kPi / 2);
}

double matan(double x) {
    // Two half-angle reductions bring |x| under tan(pi/8), where the series converges quickly.
    double y = x / (1 + std::sqrt(1 + x * x));
    y = y / (1 + std::sqrt(1 + y * y));
    const double y2 = y * y;
    double power = y, sum = y;
    for (int n = 1; n < 14; ++n) {
        power *= -y2;
        sum += power / (2 * n + 1);
    }
    return 4 * sum;
}

double matan2(double y, double x) {
    if (x > 0) return matan(y / x);
    if (x < 0) return matan(y / x) + (y >= 0 ? kPi : -kPi);
    return y > 0 ? kPi / 2 : (y < 0 ? -kPi / 2 : 0.0);
}

double mcbrt(double v) {
    if (v <= 0) return 0;
    double r = v > 1 ? v : 1;
    for (int i = 0; i < 60; ++i)
        r = (2 * r + v / (r * r)) / 3;
    return r;
}

double clamp01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
double smoothstep(double a, double b, double v) {
    const double t = clamp01((v - a) / (b - a));
    return t * t * (3 - 2 * t);
}

uint32_t hash3(int x, int y, uint32_t seed) {
    uint32_t h =
        seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^ static_cast<uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}
double hash01(int x, int y, uint32_t seed) {
    return (hash3(x, y, seed) >> 8) * (1.0 / 16777216.0);
}

// Smooth value noise in [0, 1).
double vnoise(double x, double y, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = hash01(ix, iy, seed), b = hash01(ix + 1, iy, seed);
    const double c = hash01(ix, iy + 1, seed), d = hash01(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double fbm(double x, double y, uint32_t seed, int octaves = 4) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * vnoise(x, y, seed + 101u * static_cast<uint32_t>(o));
        norm += amp;
        x = x * 2.03 + 17.1;
        y = y * 2.03 - 9.7;
        amp *= 0.5;
    }
    return sum / norm;
}

// A small fixed-seed linear congruential generator, for laying out circuit-board parts.
struct Lcg {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint32_t>(hi - lo + 1)); }
};

struct V2 {
    double x = 0, y = 0;
};
V2 operator-(V2 a, V2 b) {
    return {a.x - b.x, a.y - b.y};
}
V2 operator*(V2 a, double k) {
    return {a.x * k, a.y * k};
}
double dot(V2 a, V2 b) {
    return a.x * b.x + a.y * b.y;
}
double length(V2 a) {
    return std::sqrt(dot(a, a));
}

// x' = a x + b y + e,  y' = c x + d y + f
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    V2 operator()(V2 p) const { return {a * p.x + b * p.y + e, c * p.x + d * p.y + f}; }
};
Affine operator*(const Affine &m, const Affine &n) { // n first, then m
    return {m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d,       m.c * n.a + m.d * n.c,
            m.c * n.b + m.d * n.d, m.a * n.e + m.b * n.f + m.e, m.c * n.e + m.d * n.f + m.f};
}
Affine inverse(const Affine &m) {
    const double det = m.a * m.d - m.b * m.c;
    Affine r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
    r.e = -(r.a * m.e + r.b * m.f);
    r.f = -(r.c * m.e + r.d * m.f);
    return r;
}
Affine translate(double x, double y) {
    return {1, 0, 0, 1, x, y};
}
Affine rotate(double t) {
    const double c = mcos(t), s = msin(t);
    return {c, -s, s, c, 0, 0};
}
Affine rotateAbout(double t, V2 p) {
    return translate(p.x, p.y) * rotate(t) * translate(-p.x, -p.y);
}

// Signed distances: negative inside.
double sdEllipse(V2 p, double rx, double ry) {
    const double k0 = std::sqrt(p.x * p.x / (rx * rx) + p.y * p.y / (ry * ry));
    if (k0 < 1e-9) return -std::min(rx, ry);
    const double k1 = std::sqrt(p.x * p.x / (rx * rx * rx * rx) + p.y * p.y / (ry * ry * ry * ry));
    return k0 * (k0 - 1) / k1;
}
double sdRoundBox(V2 p, double hx, double hy, double r) {
    const double qx = std::abs(p.x) - hx + r, qy = std::abs(p.y) - hy + r;
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}
double sdSegment(V2 p, V2 a, V2 b) {
    const V2 pa = p - a, ba = b - a;
    const double bb = dot(ba, ba);
    const double h = bb < 1e-12 ? 0.0 : clamp01(dot(pa, ba) / bb);
    return length(pa - ba * h);
}
// Distance to the parabola y = h (1 - (x/w)^2) for |x| <= w, i.e. an arc through (-w,0), (0,h), (w,0).
double sdArc(V2 p, double w, double h) {
    const double x = std::max(-w, std::min(w, p.x));
    const double y = h * (1 - (x / w) * (x / w));
    const double slope = -2 * h * x / (w * w);
    const double vertical = std::abs(p.y - y) / std::sqrt(1 + slope * slope);
    return std::max(vertical, std::abs(p.x) - w);
}

} // namespace
