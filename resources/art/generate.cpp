// artgen: draws every bitmap SCRWARPVUE ships, and its icon, from code.
//
//   artgen OUTDIR [--contact-sheet FILE.ppm] [--icon-preview FILE.pam] [--report]
//
// writes OUTDIR/bitmaps/<NAME>.bmp (8-bit, one shared 256-colour palette), OUTDIR/scrwarpvue.ico and the
// icon as PNG for desktop menus, OUTDIR/icons/scrwarpvue-32.png and -128.png (four times as large).
// The output is byte-for-byte reproducible: there is no randomness except integer hashing, and the
// floating-point work uses only +, -, *, /, sqrt and floor (sine and arctangent are computed here), so
// the result does not depend on the C library's maths routines.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

void require(bool ok, const std::string &what) {
    if (!ok) throw std::runtime_error("refusing to write artwork: " + what);
}

// ------------------------------------------------------------------------------------------------ maths

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

// ---------------------------------------------------------------------------------------------- colour

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

// --------------------------------------------------------------------------------------------- images

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

// ------------------------------------------------------------------------------------ figure drawing

enum class Mat {
    Body,
    Head,
    Limb,
    Hand,
    Foot,
    EyeWhite,
    Pupil,
    Shine,
    Lid,
    Ink,
    Mouth,
    Cheek,
    Antenna,
    Button,
    Nozzle,
    Flame,
    Zzz
};

using Sdf = std::function<double(V2)>;
using Paint = std::function<Rgb(V2, double)>;

struct Layer {
    Mat mat;
    Affine toLocal;
    V2 lo, hi;           // local bounds
    V2 modelLo, modelHi; // model-space bounds
    Sdf sdf;
    Paint paint;
};

struct Figure {
    std::vector<Layer> layers; // back to front

    void add(Mat mat, const Affine &localToModel, V2 lo, V2 hi, Sdf sdf, Paint paint) {
        V2 mlo{1e9, 1e9}, mhi{-1e9, -1e9};
        for (V2 corner : {lo, hi, V2{lo.x, hi.y}, V2{hi.x, lo.y}}) {
            const V2 m = localToModel(corner);
            mlo = {std::min(mlo.x, m.x), std::min(mlo.y, m.y)};
            mhi = {std::max(mhi.x, m.x), std::max(mhi.y, m.y)};
        }
        layers.push_back({mat, inverse(localToModel), lo, hi, mlo, mhi, std::move(sdf), std::move(paint)});
    }
};

// Paints the rim of a shape with the outline colour.
Paint outlined(Paint inner, double width = 0.85, Rgb ink = kInk) {
    return [inner = std::move(inner), width, ink](V2 p, double d) { return d > -width ? ink : inner(p, d); };
}

// Shading of a ball-like surface: nx, ny in [-1, 1] across the shape, light from the upper left front.
double ballLight(double nx, double ny) {
    double r2 = nx * nx + ny * ny;
    if (r2 > 1) {
        nx /= std::sqrt(r2);
        ny /= std::sqrt(r2);
        r2 = 1;
    }
    const double nz = std::sqrt(1 - r2);
    return -0.42 * nx + 0.5 * ny + 0.76 * nz;
}
Rgb shadeBall(const Ramp &ramp, double nx, double ny, double lo = 0.3, double hi = 0.82) {
    const double l = ballLight(nx, ny);
    double t = lo + (hi - lo) * std::max(0.0, l);
    if (l > 0.93) t += (l - 0.93) * 2.5;
    return at(ramp, t);
}

Paint ballPaint(const Ramp &ramp, double rx, double ry, double lo = 0.3, double hi = 0.82) {
    return outlined([=](V2 p, double) { return shadeBall(ramp, p.x / rx, p.y / ry, lo, hi); });
}

void addEllipse(Figure &fig, Mat mat, const Affine &xf, V2 c, double rx, double ry, Paint paint) {
    fig.add(
        mat, xf * translate(c.x, c.y), {-rx - 1, -ry - 1}, {rx + 1, ry + 1},
        [rx, ry](V2 p) { return sdEllipse(p, rx, ry); }, std::move(paint));
}
void addCapsule(Figure &fig, Mat mat, const Affine &xf, V2 a, V2 b, double r, Paint paint) {
    const V2 lo{std::min(a.x, b.x) - r - 1, std::min(a.y, b.y) - r - 1};
    const V2 hi{std::max(a.x, b.x) + r + 1, std::max(a.y, b.y) + r + 1};
    fig.add(
        mat, xf, lo, hi, [a, b, r](V2 p) { return sdSegment(p, a, b) - r; }, std::move(paint));
}

// Renders a figure with 4x4 supersampling; a pixel is solid when at least 7 of its 16 samples hit.
struct Raster {
    int w = 0, h = 0;
    std::vector<Rgb> colour;
    std::vector<int> hits;
    std::vector<Mat> mat;
};

constexpr int kSub = 4;

Raster rasterise(const Figure &fig, const Affine &modelToPixel, int w, int h) {
    Raster r;
    r.w = w;
    r.h = h;
    r.colour.assign(static_cast<size_t>(w) * h, {});
    r.hits.assign(static_cast<size_t>(w) * h, 0);
    r.mat.assign(static_cast<size_t>(w) * h, Mat::Body);
    const Affine pixelToModel = inverse(modelToPixel);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            Rgb sum;
            int hits = 0;
            std::array<int, 32> matVotes{};
            for (int sj = 0; sj < kSub; ++sj) {
                for (int si = 0; si < kSub; ++si) {
                    const V2 m = pixelToModel({i + (si + 0.5) / kSub, j + (sj + 0.5) / kSub});
                    for (size_t k = fig.layers.size(); k-- > 0;) {
                        const Layer &L = fig.layers[k];
                        if (m.x < L.modelLo.x || m.x > L.modelHi.x || m.y < L.modelLo.y || m.y > L.modelHi.y)
                            continue;
                        const V2 q = L.toLocal(m);
                        if (q.x < L.lo.x || q.x > L.hi.x || q.y < L.lo.y || q.y > L.hi.y) continue;
                        const double d = L.sdf(q);
                        if (d < 0) {
                            const Rgb c = L.paint(q, d);
                            sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                            ++hits;
                            ++matVotes[static_cast<size_t>(L.mat)];
                            break;
                        }
                    }
                }
            }
            const size_t at = static_cast<size_t>(j) * w + i;
            r.hits[at] = hits;
            if (hits > 0) {
                r.colour[at] = {sum.r / hits, sum.g / hits, sum.b / hits};
                r.mat[at] =
                    static_cast<Mat>(std::max_element(matVotes.begin(), matVotes.end()) - matVotes.begin());
            }
        }
    }
    return r;
}

constexpr int kSolidHits = 7;

// ---------------------------------------------------------------------------------------- the robot

enum class Eyes { Open, Happy, Asleep };
enum class Mouth { None, Smile, Laugh, Oh };

constexpr double kBodyW = 34, kBodyD = 24, kBodyH = 27, kCorner = 4.5;
constexpr double kHeadH = 28, kHeadR = 15.5;
constexpr double kHeadRiseFull = kHeadH - 3; // how far the head's tip stands above the body's top
constexpr double kLegLift = 13, kArmLen = 10.5;

struct Pose {
    double bodyYaw = 0; // radians; negative turns the face towards the viewer's left
    double headYaw = 0; // extra turn of the head on its own
    double headTilt = 0;
    double headRise = kHeadRiseFull;
    double legs = 1;                           // 0 drawn in, 1 standing
    double armsOut = 1;                        // 0 drawn in
    std::array<double, 2> armSpread{0.6, 0.6}; // [-x side, +x side], outward from hanging straight down
    std::array<double, 2> armSwing{0, 0};      // forward
    std::array<double, 2> legSwing{0, 0};
    std::array<double, 2> legSpread{0, 0};
    std::array<double, 2> footLift{0, 0};
    double lean = 0; // upper body about the hips, counter-clockwise
    double roll = 0; // whole figure, counter-clockwise
    double lookX = 0, lookY = 0;
    double eyeOpen = 1;
    Eyes eyes = Eyes::Open;
    Mouth mouth = Mouth::Smile;
    double flame = 0; // length of the thrust flames
    uint32_t flicker = 0;
    double hover = 0;
    bool glow = false;
    int zzz = 0;
    bool sitting = false;
    bool antenna = true;
};

double headHalfWidth(double v) {
    const double t = v / kHeadH;
    if (t < 0 || t > 1) return 0;
    constexpr double k = 0.42;
    if (t <= k) {
        const double q = (k - t) / k;
        return kHeadR * std::sqrt(1 - 0.75 * q * q);
    }
    const double c = mcos((t - k) / (1 - k) * kPi / 2);
    return kHeadR * c * std::sqrt(c);
}

double headSdf(V2 p) {
    if (p.y < 0) return std::max(-p.y, std::abs(p.x) - headHalfWidth(0));
    if (p.y > kHeadH) return length(p - V2{0, kHeadH});
    const double hw = headHalfWidth(p.y);
    const double slope =
        (headHalfWidth(std::min(kHeadH, p.y + 0.5)) - headHalfWidth(std::max(0.0, p.y - 0.5)));
    return (std::abs(p.x) - hw) / std::sqrt(1 + slope * slope);
}

struct RobotBuilder {
    const Pose &p;
    Figure fig;
    double cy, sy, yB, yT;
    Affine upper;

    explicit RobotBuilder(const Pose &pose) : p(pose) {
        cy = mcos(p.bodyYaw);
        sy = msin(p.bodyYaw);
        yB = (p.sitting ? 1.0 : kLegLift * p.legs) + p.hover;
        yT = yB + kBodyH;
        upper = rotateAbout(p.lean, {0, yB});
    }
    double projX(double x, double z) const { return x * cy + z * sy; }
    double depthOf(double x, double z) const { return -x * sy + z * cy; }

    void glow() {
        const double rx = 33, ry = 2.6;
        const uint32_t seed = 900 + p.flicker;
        fig.add(
            Mat::Flame, translate(0, ry), {-rx - 1, -ry - 1}, {rx + 1, ry + 1},
            [=](V2 q) { return sdEllipse(q, rx, ry); },
            [=](V2 q, double) {
                const double r = std::sqrt((q.x / rx) * (q.x / rx) + (q.y / ry) * (q.y / ry));
                const double n = vnoise(q.x * 0.25, 0, seed);
                return at(kFire, (1 - r) * (0.75 + 0.35 * n) + 0.05);
            });
    }

    void flames() {
        for (int side : {-1, 1}) {
            const double len = p.flame * (1 + 0.06 * side * (p.flicker % 2 ? 1 : -1));
            const double w0 = 3.8;
            const uint32_t seed = 300 + p.flicker * 7 + static_cast<uint32_t>(side + 1);
            auto halfWidth = [=](double v) {
                const double wobble = 1 + 0.45 * (vnoise(v * 0.45, 3.0, seed) - 0.5);
                return w0 * std::sqrt(std::max(0.0, 1 - v / len)) * wobble *
                       (0.75 + 0.25 * smoothstep(0, 3, v));
            };
            auto sway = [=](double v) { return 1.6 * (vnoise(v * 0.22, 7.0, seed) - 0.5) * v / len; };
            fig.add(
                Mat::Flame, translate(side * 8.0, yB), {-w0 * 2 - 2, -len - 1}, {w0 * 2 + 2, 1},
                [=](V2 q) {
                    const double v = -q.y;
                    if (v > len) return v - len;
                    return std::max(std::abs(q.x - sway(v)) - halfWidth(v), q.y);
                },
                [=](V2 q, double) {
                    const double v = -q.y;
                    const double across = std::abs(q.x - sway(v)) / std::max(0.3, halfWidth(v));
                    const double heat = (1 - across * across) * (1 - 0.6 * v / len) + 0.12;
                    return at(kFire, 0.28 + 0.75 * heat);
                });
        }
        for (int side : {-1, 1})
            addEllipse(fig, Mat::Nozzle, upper, {side * 8.0, yB + 0.2}, 4.4, 1.7,
                       ballPaint(kSteel, 4.4, 1.7, 0.1, 0.5));
    }

    void leg(int i) {
        const double s = i == 0 ? -1 : 1;
        const double legLen = p.sitting ? 11.0 : kLegLift * p.legs;
        if (legLen < 1) return;
        const double w = p.legSwing[static_cast<size_t>(i)], spread = p.legSpread[static_cast<size_t>(i)];
        const double hipY = yB + 4;
        const double ax = s * (8 + legLen * msin(spread));
        const double ay = hipY - legLen * mcos(spread) * mcos(w) + p.footLift[static_cast<size_t>(i)];
        const double az = legLen * mcos(spread) * msin(w);
        const V2 hip{projX(s * 8, 0), hipY}, ankle{projX(ax, az), ay};
        addCapsule(fig, Mat::Limb, Affine{}, hip, ankle, 2.7,
                   outlined([](V2, double d) { return at(kSteel, 0.35 + 0.5 * clamp01(-d / 2.7)); }));
        const double rx = 0.5 * std::sqrt((12.5 * cy) * (12.5 * cy) + (17 * sy) * (17 * sy)), ry = 3.7;
        const V2 c{projX(ax, az + 2.5), ay - 0.5};
        const Affine footXf = translate(c.x, c.y) * rotate(0.5 * w * sy);
        fig.add(
            Mat::Foot, footXf, {-rx - 1, -ry - 1}, {rx + 1, ry + 1},
            [rx, ry](V2 q) { return sdEllipse(q, rx, ry); }, outlined([=](V2 q, double) {
                return shadeBall(kShoe, q.x / rx, (q.y - 1.5) / (ry + 1.5), 0.15, 0.9);
            }));
    }

    // Arms are drawn as a ball joint, a tube and a round hand; returns whether the arm is in front.
    bool armInFront(int i) const {
        const double s = i == 0 ? -1 : 1;
        const double a = p.armSpread[static_cast<size_t>(i)], w = p.armSwing[static_cast<size_t>(i)];
        const double dx = s * msin(a), dz = mcos(a) * msin(w);
        return depthOf(s * kBodyW / 2 + dx * kArmLen / 2, dz * kArmLen / 2) > 1;
    }
    void arm(int i) {
        const double s = i == 0 ? -1 : 1;
        const double a = p.armSpread[static_cast<size_t>(i)], w = p.armSwing[static_cast<size_t>(i)];
        const double sx = s * kBodyW / 2, syy = yB + 17;
        const V2 shoulder{projX(sx, 0), syy};
        addEllipse(fig, Mat::Limb, upper, shoulder, 3.4, 3.4, ballPaint(kCyan, 3.4, 3.4, 0.25, 0.7));
        if (p.armsOut <= 0.05) return;
        const double len = kArmLen * p.armsOut;
        const double dx = s * msin(a), dy = -mcos(a) * mcos(w), dz = mcos(a) * msin(w);
        const V2 hand{projX(sx + dx * len, dz * len), syy + dy * len};
        addCapsule(fig, Mat::Limb, upper, shoulder, hand, 2.3,
                   outlined([](V2, double d) { return at(kCyan, 0.3 + 0.4 * clamp01(-d / 2.3)); }));
        addEllipse(fig, Mat::Hand, upper, hand, 3.7, 3.7, ballPaint(kCyan, 3.7, 3.7, 0.45, 0.95));
    }

    void body() {
        double xmin = 1e9, xmax = -1e9;
        for (double x : {-kBodyW / 2, kBodyW / 2})
            for (double z : {-kBodyD / 2, kBodyD / 2}) {
                xmin = std::min(xmin, projX(x, z));
                xmax = std::max(xmax, projX(x, z));
            }
        const double fa = std::min(projX(-kBodyW / 2, kBodyD / 2), projX(kBodyW / 2, kBodyD / 2));
        const double fb = std::max(projX(-kBodyW / 2, kBodyD / 2), projX(kBodyW / 2, kBodyD / 2));
        const bool frontVisible = cy > 0.05;
        const bool sideVisible = std::abs(sy) > 0.05;
        const double edge = sy < 0 ? fb : fa; // where the front meets the visible side
        const double cx = (xmin + xmax) / 2, hx = (xmax - xmin) / 2, hy = kBodyH / 2;
        fig.add(
            Mat::Body, upper * translate(cx, yB + hy), {-hx - 1, -hy - 1}, {hx + 1, hy + 1},
            [=](V2 q) { return sdRoundBox(q, hx, hy, kCorner); }, outlined([=](V2 q, double d) {
                const double x = q.x + cx, y = q.y + hy, v = y / kBodyH;
                if (frontVisible && x >= fa - 1e-9 && x <= fb + 1e-9) {
                    if (sideVisible && std::abs(x - edge) < 0.6) return at(kCyan, 0.28);
                    const double u = (x - fa) / std::max(1.0, fb - fa);
                    double t = 0.6 + 0.2 * v - 0.08 * u;
                    t += 0.14 * (1 - smoothstep(0.35, 0.5, u * 0.7 + (1 - v)));
                    if (d > -2.2) t -= 0.07;
                    if (std::abs(y - 9.2) < 0.5 && d < -1.4) t -= 0.22;
                    return at(kCyan, t);
                }
                return at(kCyan, 0.36 + 0.14 * v + (d > -2 ? -0.05 : 0));
            }));
        if (!frontVisible || cy < 0.2) return;
        const Ramp *colours[] = {&kRedButton, &kFire, &kGreenButton, &kShoe, &kRedButton};
        for (int k = 0; k < 5; ++k) {
            const double u = -12 + 6 * k;
            const double rx = 2.2 * cy, ry = 2.2;
            const Ramp &ramp = *colours[k];
            const bool yellow = &ramp == &kFire;
            addEllipse(fig, Mat::Button, upper, {projX(u, kBodyD / 2), yB + 4.8}, rx, ry,
                       outlined(
                           [=](V2 q, double) {
                               return shadeBall(ramp, q.x / rx, q.y / ry, yellow ? 0.55 : 0.25,
                                                yellow ? 1.0 : 0.85);
                           },
                           0.6));
        }
    }

    void head() {
        const double rise = p.headRise;
        const Affine hx = upper * translate(0, yT - 3 - (kHeadRiseFull - rise)) * rotate(p.headTilt);
        // Features turn a little less than the head itself so a profile still shows one eye.
        const double cyaw = mcos(p.bodyYaw + p.headYaw);
        const double yaw = (p.bodyYaw + p.headYaw) * 0.8;

        // antenna loop: a short stem and a wire ring
        const double ringR = 4.6, ringT = 0.95, ringY = kHeadH + 1.2 + ringR;
        const double ringRx = ringR * std::max(0.35, std::abs(cyaw));
        if (p.antenna) {
            addCapsule(fig, Mat::Antenna, hx, {0, kHeadH - 2}, {0, kHeadH + 1.8}, 0.9,
                       [](V2, double d) { return at(kSteel, 0.45 + 0.4 * clamp01(-d)); });
            fig.add(
                Mat::Antenna, hx * translate(0, ringY), {-ringRx - 2, -ringR - 2}, {ringRx + 2, ringR + 2},
                [=](V2 q) { return std::abs(sdEllipse(q, ringRx, ringR)) - ringT; },
                [=](V2 q, double) {
                    const double l = (-q.x / ringRx * 0.6 + q.y / ringR * 0.8);
                    return at(kSteel, 0.55 + 0.4 * l);
                });
            addEllipse(fig, Mat::Antenna, hx, {0, kHeadH + 0.6}, 1.5, 1.2,
                       ballPaint(kSteel, 1.5, 1.2, 0.4, 0.95));
        }

        // a head drawn into the body must not poke out underneath it
        const double hiddenBelow = yB + 0.5 - (yT - 3 - (kHeadRiseFull - rise));
        fig.add(
            Mat::Head, hx, {-kHeadR - 1, -1}, {kHeadR + 1, kHeadH + 1},
            [=](V2 q) { return std::max(headSdf(q), hiddenBelow - q.y); }, outlined([](V2 q, double) {
                constexpr double k = 0.42 * kHeadH;
                const double ny = q.y < k ? (q.y - k) / k : (q.y - k) / (kHeadH - k) * 0.9;
                const double nx = q.x / kHeadR;
                return shadeBall(kSkin, nx, ny, 0.3, 0.78);
            }));

        // features live on the head's surface: an azimuth turns with the head, and they are clipped to it
        auto feature = [&](Mat mat, double az, double v, double rx, double ry,
                           const std::function<double(V2)> &shape, Paint paint) {
            const double a = az + yaw;
            const double c = mcos(a);
            if (c < 0.12) return;
            const double u = headHalfWidth(v) * 0.98 * msin(a);
            const double sx = rx * c;
            fig.add(
                mat, hx * translate(u, v), {-sx - 2, -ry - 2}, {sx + 2, ry + 2},
                [=](V2 q) {
                    return std::max(shape({q.x / c, q.y}), headSdf({q.x + u, q.y + v}));
                },
                [=](V2 q, double d) {
                    return paint({q.x / c, q.y}, d);
                });
        };

        const double eyeV = 12, eyeRx = 5.3, eyeRy = 6.6;
        for (double az : {-0.44, 0.44}) {
            // cheeks
            feature(
                Mat::Cheek, az * 1.75, 5.6, 2.6, 1.5, [](V2 q) { return sdEllipse(q, 2.6, 1.5); },
                [](V2 q, double) {
                    const double r = std::sqrt(q.x * q.x / 6.76 + q.y * q.y / 2.25);
                    return mix(Rgb{255, 150, 150}, Rgb{250, 190, 160}, r);
                });
            if (p.eyes == Eyes::Open) {
                feature(
                    Mat::EyeWhite, az, eyeV, eyeRx, eyeRy, [=](V2 q) { return sdEllipse(q, eyeRx, eyeRy); },
                    outlined(
                        [=](V2 q, double) {
                            return mix(Rgb{255, 255, 255}, Rgb{200, 214, 240}, clamp01(q.y / eyeRy));
                        },
                        0.9, Rgb{24, 24, 56}));
                const double pr = 3.4, pry = 4.5;
                const double px = p.lookX * (eyeRx - pr - 0.6) + msin(p.headYaw) * 0.8;
                const double py = p.lookY * (eyeRy - pry - 0.6) - 0.5;
                auto inEye = [=](V2 q) { return sdEllipse(q, eyeRx - 0.8, eyeRy - 0.8); };
                feature(
                    Mat::Pupil, az, eyeV, eyeRx, eyeRy,
                    [=](V2 q) {
                        return std::max(sdEllipse(q - V2{px, py}, pr, pry), inEye(q));
                    },
                    [=](V2 q, double) {
                        const double t = clamp01(0.5 - (q.y - py) / pry * 0.5);
                        return at(kNavy, 0.05 + 0.6 * t * t);
                    });
                feature(
                    Mat::Shine, az, eyeV, eyeRx, eyeRy,
                    [=](V2 q) {
                        return std::min(sdEllipse(q - V2{px - 1.2, py + 1.8}, 1.5, 1.6),
                                        sdEllipse(q - V2{px + 1.3, py - 1.9}, 0.75, 0.75));
                    },
                    [](V2, double) { return kWhite; });
                if (p.eyeOpen < 1) {
                    const double lid = eyeRy * (2 * p.eyeOpen - 1);
                    feature(
                        Mat::Lid, az, eyeV, eyeRx, eyeRy,
                        [=](V2 q) { return std::max(sdEllipse(q, eyeRx, eyeRy), lid - q.y - 0.6); },
                        [=](V2 q, double d) {
                            if (q.y - lid < 1.1 || d > -0.8) return Rgb{40, 24, 40};
                            return at(kSkin, 0.5 + 0.1 * (q.y - lid) / eyeRy);
                        });
                }
            } else {
                const bool happy = p.eyes == Eyes::Happy;
                feature(
                    Mat::Ink, az, eyeV - (happy ? 1.5 : 0), eyeRx, eyeRy,
                    [=](V2 q) { return sdArc(q, eyeRx * 0.8, happy ? 4.2 : -2.6) - 0.95; },
                    [](V2, double) {
                        return Rgb{40, 26, 50};
                    });
            }
        }
        auto mouth = [&](const std::function<double(V2)> &shape, Paint paint, double v) {
            feature(Mat::Mouth, 0, v, 6, 5, shape, std::move(paint));
        };
        switch (p.mouth) {
        case Mouth::None:
            break;
        case Mouth::Smile:
            mouth([](V2 q) { return sdArc(q, 2.4, -1.3) - 0.62; },
                  [](V2, double) {
                      return Rgb{120, 40, 50};
                  },
                  5.2);
            break;
        case Mouth::Oh:
            mouth([](V2 q) { return sdEllipse(q, 1.7, 2.0); },
                  outlined(
                      [](V2, double) {
                          return Rgb{150, 36, 58};
                      },
                      0.7, Rgb{70, 20, 30}),
                  4.8);
            break;
        case Mouth::Laugh:
            mouth([](V2 q) { return std::max(sdEllipse(q, 3.9, 3.4), q.y - 0.2); },
                  outlined(
                      [](V2 q, double) {
                          if (sdEllipse(q - V2{0, -2.6}, 2.4, 1.6) < 0) return at(kPink, 0.62);
                          return at(kPink, 0.12);
                      },
                      0.7, Rgb{70, 20, 30}),
                  7.2);
            break;
        }
    }

    void zzz() {
        auto letter = [&](V2 c, double size) {
            const V2 a{c.x - size / 2, c.y + size / 2}, b{c.x + size / 2, c.y + size / 2};
            const V2 d{c.x - size / 2, c.y - size / 2}, e{c.x + size / 2, c.y - size / 2};
            fig.add(
                Mat::Zzz, Affine{}, {d.x - 2, d.y - 2}, {b.x + 2, b.y + 2},
                [=](V2 q) {
                    return std::min({sdSegment(q, a, b), sdSegment(q, b, d), sdSegment(q, d, e)}) - 0.8;
                },
                [](V2, double) {
                    return Rgb{200, 228, 255};
                });
        };
        if (p.zzz >= 1) letter({kHeadR + 4.5, yT + 19}, 4.5);
        if (p.zzz >= 2) letter({kHeadR + 6.5, yT + 28}, 6);
    }

    Figure build() {
        if (p.glow) glow();
        std::array<int, 2> order{0, 1};
        if (depthOf(kBodyW / 2, 0) < depthOf(-kBodyW / 2, 0)) order = {1, 0};
        for (int i : order)
            leg(i);
        for (int i : order)
            if (!armInFront(i)) arm(i);
        head();
        body();
        if (p.flame > 0) flames();
        for (int i : order)
            if (armInFront(i)) arm(i);
        zzz();
        return std::move(fig);
    }
};

// Draws a pose into a WxH bitmap with the figure's lowest point on the bottom row and its extent
// centred left to right.
struct Placement {
    int figW = 0, figH = 0;
    double scale = 1;
    int naturalW = 0, naturalH = 0; // before any shrinking
};

Indexed placeFigure(const Pose &pose, int W, int H, Palette &pal, Placement *info) {
    const Figure fig = RobotBuilder(pose).build();
    double scale = 1;
    for (int attempt = 0; attempt < 20; ++attempt) {
        // model (y up) -> pixels (y down), rolled about the origin
        Affine view = Affine{scale, 0, 0, -scale, 0, 0} * rotate(pose.roll);
        double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
        for (const Layer &L : fig.layers)
            for (V2 c : {L.modelLo, L.modelHi, V2{L.modelLo.x, L.modelHi.y}, V2{L.modelHi.x, L.modelLo.y}}) {
                const V2 q = view(c);
                x0 = std::min(x0, q.x);
                y0 = std::min(y0, q.y);
                x1 = std::max(x1, q.x);
                y1 = std::max(y1, q.y);
            }
        const int ox = static_cast<int>(std::floor(x0)) - 2, oy = static_cast<int>(std::floor(y0)) - 2;
        const int cw = static_cast<int>(std::ceil(x1)) - ox + 3,
                  ch = static_cast<int>(std::ceil(y1)) - oy + 3;
        const Raster r = rasterise(fig, translate(-ox, -oy) * view, cw, ch);
        int bx0 = cw, by0 = ch, bx1 = -1, by1 = -1;
        for (int j = 0; j < ch; ++j)
            for (int i = 0; i < cw; ++i)
                if (r.hits[static_cast<size_t>(j) * cw + i] >= kSolidHits) {
                    bx0 = std::min(bx0, i);
                    bx1 = std::max(bx1, i);
                    by0 = std::min(by0, j);
                    by1 = std::max(by1, j);
                }
        require(bx1 >= 0, "empty figure");
        const int fw = bx1 - bx0 + 1, fh = by1 - by0 + 1;
        if (attempt == 0 && info) {
            info->naturalW = fw;
            info->naturalH = fh;
        }
        if (fw > W || fh > H) {
            scale *=
                0.985 * std::min(1.0, std::min(static_cast<double>(W) / fw, static_cast<double>(H) / fh));
            continue;
        }
        Indexed img(W, H);
        const int dx = (W - fw) / 2 - bx0, dy = (H - 1) - by1;
        for (int j = by0; j <= by1; ++j)
            for (int i = bx0; i <= bx1; ++i) {
                const size_t at = static_cast<size_t>(j) * cw + i;
                if (r.hits[at] >= kSolidHits) img.at(i + dx, j + dy) = pal.nearest(r.colour[at]);
            }
        if (info) {
            info->figW = fw;
            info->figH = fh;
            info->scale = scale;
        }
        return img;
    }
    throw std::runtime_error("figure does not fit");
}

// ------------------------------------------------------------------------------------ the pose list

Pose standing() {
    return Pose{};
}
Pose closedBody() {
    Pose p;
    p.legs = 0;
    p.armsOut = 0;
    p.headRise = -4.5;
    p.mouth = Mouth::None;
    return p;
}
Pose crouched() {
    Pose p;
    p.legs = 0;
    return p;
}
Pose sideOn(double lean) {
    Pose p;
    p.bodyYaw = -kPi / 2;
    p.lean = lean;
    return p;
}

struct PoseSpec {
    std::string name;
    int w, h;
    Pose pose;
    std::string mirrorOf; // when set, this bitmap is the left-right mirror image of that one
};

// "FLY-" and 3 -> "FLY-03"
std::string numbered(const char *stem, int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%02d", stem, n);
    return buf;
}

std::vector<PoseSpec> poseList() {
    std::vector<PoseSpec> list;
    auto add = [&](const std::string &name, int w, int h, const Pose &pose) {
        list.push_back({name, w, h, pose, ""});
    };
    auto mirror = [&](const std::string &name, const std::string &of) {
        for (const PoseSpec &s : list)
            if (s.name == of) {
                list.push_back({name, s.w, s.h, s.pose, of});
                return;
            }
        require(false, "no pose named " + of);
    };

    for (int f = 0; f < 2; ++f) {
        Pose p = standing();
        p.armSpread = {1.05, 1.05};
        p.footLift[static_cast<size_t>(f)] = 3.5;
        p.legSwing[static_cast<size_t>(f)] = 0.25;
        p.mouth = Mouth::Laugh;
        add(numbered("SOK-TAN", f), 60, 78, p);
    }

    const int flyW[] = {46, 46, 41}, flyH[] = {66, 57, 49};
    for (int k = 0; k < 3; ++k)
        for (int f = 0; f < 2; ++f) {
            Pose p = closedBody();
            p.flame = flyH[k] - 36.5;
            p.flicker = static_cast<uint32_t>(2 * k + f);
            add(numbered("FLY-", 2 * k + f + 1), flyW[k], flyH[k], p);
        }
    for (int f = 0; f < 2; ++f) {
        Pose p = closedBody();
        p.hover = 5;
        p.flame = 4.5;
        p.glow = true;
        p.flicker = static_cast<uint32_t>(7 + f);
        add(numbered("FLY-", 7 + f), 67, 41, p);
    }
    add("FLY-09", 41, 36, closedBody());

    const int openW[] = {49, 49, 49, 49, 56}, openH[] = {43, 49, 56, 62, 66};
    const double rise[] = {4.6, 10.6, 17.6, 23.6, kHeadRiseFull};
    for (int k = 0; k < 5; ++k) {
        Pose p = crouched();
        p.headRise = rise[k];
        p.armsOut = k < 3 ? 0 : (k == 3 ? 0.5 : 1);
        p.armSpread = k == 4 ? std::array<double, 2>{0.75, 0.75} : std::array<double, 2>{0.5, 0.5};
        p.mouth = k < 2 ? Mouth::None : Mouth::Smile;
        p.lookY = k < 2 ? 0.5 : 0;
        add(numbered("OPEN-", k + 1), openW[k], openH[k], p);
    }
    {
        Pose p = standing();
        p.legs = 0.62;
        add("TATU-01", 55, 72, p);
        add("TATU-02", 55, 76, standing());
    }
    for (int k = 1; k <= 4; ++k) {
        Pose p = standing();
        p.headYaw = 0.26 * k;
        p.lookX = std::min(1.0, 0.3 * k);
        add(numbered("RIGH-", k), 55, 76, p);
    }
    for (int k = 1; k <= 4; ++k)
        mirror(numbered("LEFT-", k), numbered("RIGH-", k));
    {
        Pose p = standing();
        p.armSpread = {2.75, 2.75};
        p.mouth = Mouth::Laugh;
        add("TEBURI-01", 53, 77, p);
    }
    {
        Pose p = standing();
        p.eyes = Eyes::Happy;
        p.mouth = Mouth::Laugh;
        p.armSpread = {0.62, 0.62};
        p.legs = 0.88;
        add("WARAI-01", 55, 75, p);
    }
    const int mukuW[] = {55, 49, 42, 36};
    for (int k = 0; k < 4; ++k) {
        Pose p = standing();
        p.bodyYaw = -kPi / 2 * (k + 1) / 4;
        p.lookX = -0.3 * k;
        p.armSpread = {0.4, 0.4};
        p.armSwing = {0.15 * k, 0.15 * k};
        p.legs = k == 1 ? 0.88 : 1.0;
        add(numbered("MUKUL-", k + 1), mukuW[k], k == 1 ? 75 : 76, p);
    }
    for (int k = 1; k <= 4; ++k)
        mirror(numbered("MUKUR-", k), numbered("MUKUL-", k));
    {
        Pose p = sideOn(0.26);
        p.legSwing = {0.62, -0.7};
        p.footLift = {0, 2.5};
        p.armSwing = {-1.25, 1.3};
        p.armSpread = {0.15, 0.15};
        p.lookX = -0.8;
        add("GENKIL-01", 46, 75, p);
        Pose q = sideOn(0.22);
        q.legSwing = {-0.35, 0.3};
        q.footLift = {3, 0};
        q.armSwing = {0.9, -0.95};
        q.armSpread = {0.15, 0.15};
        q.lookX = -0.8;
        add("GENKIL-02", 43, 75, q);
    }
    mirror("GENKIR-01", "GENKIL-01");
    mirror("GENKIR-02", "GENKIL-02");

    {
        Pose p = sideOn(0.7);
        p.legSwing = {0.5, -1.2};
        p.armSwing = {2.4, 2.0};
        p.armSpread = {0.3, 0.3};
        p.mouth = Mouth::Oh;
        p.lookX = -0.6;
        p.lookY = 0.5;
        add("TENTOL-01", 73, 69, p);
        const int tw[] = {84, 91, 84, 84, 89, 90, 102}, th[] = {49, 49, 50, 51, 54, 53, 57};
        // lying on its side, head to the left, the lower arm and leg on the floor, the others flailing
        const double upArm[] = {0.45, 2.95, 0.4, 2.7, 0.65, 0.2, 0.5};
        const double downArm[] = {2.9, 2.8, 2.7, 2.9, 2.5, 2.25, 1.45};
        const double upLeg[] = {0.2, 0.6, 0.15, 0.85, 0.45, 0.5, 1.15};
        const double tilt[] = {0.05, 0, -0.05, 0, -0.25, -0.3, -0.45};
        for (int k = 0; k < 7; ++k) {
            Pose q = standing();
            q.roll = kPi / 2;
            q.armSpread = {downArm[k], upArm[k]};
            q.legSpread = {0.05, upLeg[k]};
            q.headTilt = tilt[k];
            q.eyes = k == 0 ? Eyes::Happy : Eyes::Open;
            q.mouth = k < 4 ? Mouth::Oh : Mouth::None;
            q.lookX = k < 4 ? 0.4 * (k % 2 ? 1 : -1) : 0.2;
            q.lookY = k < 4 ? -0.3 : 0.7;
            add(numbered("TENTOL-", k + 2), tw[k], th[k], q);
        }
        Pose s = sideOn(-0.1);
        s.bodyYaw = -0.7;
        s.sitting = true;
        s.legSwing = {1.45, 1.35};
        s.armSwing = {-0.6, -0.5};
        s.armSpread = {0.5, 0.5};
        s.mouth = Mouth::Oh;
        s.lookX = -0.4;
        add("TENTOL-09", 62, 72, s);
        Pose c = crouched();
        c.armSpread = {0.45, 0.45};
        c.lookY = -0.5;
        c.lookX = -0.3;
        c.mouth = Mouth::None;
        add("TENTOL-10", 55, 65, c);
        Pose e = crouched();
        e.eyes = Eyes::Happy;
        e.armSpread = {0.45, 0.45};
        e.mouth = Mouth::Smile;
        add("TENTOL-11", 55, 66, e);
    }
    for (int k = 1; k <= 11; ++k) {
        mirror(numbered("TENTOR-", k), numbered("TENTOL-", k));
    }
    {
        Pose a = crouched();
        a.eyeOpen = 0.55;
        a.headTilt = 0.06;
        a.armSpread = {0.45, 0.45};
        a.mouth = Mouth::None;
        add("NERU-01", 55, 66, a);
        Pose b = a;
        b.eyeOpen = 0.3;
        b.headTilt = 0.12;
        b.zzz = 1;
        add("NERU-02", 56, 66, b);
        Pose c = a;
        c.eyes = Eyes::Asleep;
        c.headTilt = 0.16;
        c.armSpread = {0.05, 0.05};
        c.zzz = 2;
        add("NERU-03", 48, 66, c);
    }
    return list;
}

// -------------------------------------------------------------------------------------- fire pictures

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

// ------------------------------------------------------------------------------------------------ icon

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

// --------------------------------------------------------------------------------- previews for docs

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

// ------------------------------------------------------------------------------------------------ main

void writeFile(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    require(f.good(), "could not write " + path.string());
}

struct Expected {
    const char *name;
    int w, h;
};
// Every bitmap the saver loads, with its exact size.
const Expected kExpected[] = {
    {"SOK-TAN00", 60, 78},   {"SOK-TAN01", 60, 78},   {"FLY-01", 46, 66},       {"FLY-02", 46, 66},
    {"FLY-03", 46, 57},      {"FLY-04", 46, 57},      {"FLY-05", 41, 49},       {"FLY-06", 41, 49},
    {"FLY-07", 67, 41},      {"FLY-08", 67, 41},      {"FLY-09", 41, 36},       {"DMY-00", 1, 1},
    {"OPEN-01", 49, 43},     {"OPEN-02", 49, 49},     {"OPEN-03", 49, 56},      {"OPEN-04", 49, 62},
    {"OPEN-05", 56, 66},     {"TATU-01", 55, 72},     {"TATU-02", 55, 76},      {"RIGH-01", 55, 76},
    {"RIGH-02", 55, 76},     {"RIGH-03", 55, 76},     {"RIGH-04", 55, 76},      {"LEFT-01", 55, 76},
    {"LEFT-02", 55, 76},     {"LEFT-03", 55, 76},     {"LEFT-04", 55, 76},      {"TEBURI-01", 53, 77},
    {"WARAI-01", 55, 75},    {"MUKUL-01", 55, 76},    {"MUKUL-02", 49, 75},     {"MUKUL-03", 42, 76},
    {"MUKUL-04", 36, 76},    {"MUKUR-01", 55, 76},    {"MUKUR-02", 49, 75},     {"MUKUR-03", 42, 76},
    {"MUKUR-04", 36, 76},    {"GENKIL-01", 46, 75},   {"GENKIL-02", 43, 75},    {"GENKIR-01", 46, 75},
    {"GENKIR-02", 43, 75},   {"TENTOL-01", 73, 69},   {"TENTOL-02", 84, 49},    {"TENTOL-03", 91, 49},
    {"TENTOL-04", 84, 50},   {"TENTOL-05", 84, 51},   {"TENTOL-06", 89, 54},    {"TENTOL-07", 90, 53},
    {"TENTOL-08", 102, 57},  {"TENTOL-09", 62, 72},   {"TENTOL-10", 55, 65},    {"TENTOL-11", 55, 66},
    {"TENTOR-01", 73, 69},   {"TENTOR-02", 84, 49},   {"TENTOR-03", 91, 49},    {"TENTOR-04", 84, 50},
    {"TENTOR-05", 84, 51},   {"TENTOR-06", 89, 54},   {"TENTOR-07", 90, 53},    {"TENTOR-08", 102, 57},
    {"TENTOR-09", 62, 72},   {"TENTOR-10", 55, 65},   {"TENTOR-11", 55, 66},    {"NERU-01", 55, 66},
    {"NERU-02", 56, 66},     {"NERU-03", 48, 66},     {"XHONOO-BK1", 275, 317}, {"XHONOO-BK2", 275, 317},
    {"XHONOO-01", 102, 222}, {"XHONOO-02", 102, 222}, {"XHONOO-03", 102, 222},
};

// The robot's pose catalogue: the bitmap each of the 79 poses shows, in catalogue order (a bitmap may
// serve several poses; DMY-00 stands for the poses that show nothing).
const char *const kPoseCatalogue[] = {
    "SOK-TAN00", "SOK-TAN01", "FLY-01",    "FLY-02",    "FLY-03",    "FLY-04",    "FLY-05",    "FLY-06",
    "FLY-07",    "FLY-08",    "FLY-09",    "DMY-00",    "OPEN-01",   "OPEN-02",   "OPEN-03",   "OPEN-04",
    "OPEN-05",   "TATU-01",   "TATU-02",   "RIGH-01",   "RIGH-02",   "RIGH-03",   "RIGH-04",   "LEFT-01",
    "LEFT-02",   "LEFT-03",   "LEFT-04",   "TEBURI-01", "WARAI-01",  "MUKUL-01",  "MUKUL-02",  "MUKUL-03",
    "MUKUL-04",  "GENKIL-01", "GENKIL-02", "GENKIL-01", "GENKIL-02", "TENTOL-01", "TENTOL-02", "TENTOL-03",
    "TENTOL-04", "TENTOL-05", "TENTOL-06", "TENTOL-07", "TENTOL-08", "TENTOL-09", "TENTOL-10", "TENTOL-11",
    "NERU-01",   "NERU-02",   "NERU-03",   "FLY-01",    "FLY-02",    "DMY-00",    "DMY-00",    "DMY-00",
    "DMY-00",    "DMY-00",    "DMY-00",    "DMY-00",    "GENKIR-01", "GENKIR-02", "GENKIR-01", "GENKIR-02",
    "MUKUR-01",  "MUKUR-02",  "MUKUR-03",  "MUKUR-04",  "TENTOR-01", "TENTOR-02", "TENTOR-03", "TENTOR-04",
    "TENTOR-05", "TENTOR-06", "TENTOR-07", "TENTOR-08", "TENTOR-09", "TENTOR-10", "TENTOR-11",
};

// The facts about the pictures that the program's code needs, as a header it includes.
std::string artworkHeader() {
    std::string h = "// Written by resources/art/generate.cpp with the pictures: what the program needs to "
                    "know about them.\n"
                    "// Do not edit; run artgen instead.\n"
                    "#pragma once\n// clang-format off\n\n"
                    "// The robot's poses: the bitmap of each, by resource name, in catalogue order.\n"
                    "#define ARTWORK_POSE_COUNT " +
                    std::to_string(std::size(kPoseCatalogue)) +
                    "\n"
                    "#define ARTWORK_POSE_NAMES";
    for (size_t i = 0; i < std::size(kPoseCatalogue); ++i)
        h += std::string(i % 8 == 0 ? " \\\n   " : "") + " \"" + kPoseCatalogue[i] + "\"" +
             (i + 1 < std::size(kPoseCatalogue) ? "," : "");
    h += "\n\n"
         "// The scorch mask and image (XHONOO-BK1, XHONOO-BK2): their size.\n"
         "#define ARTWORK_SCORCH_WIDTH " +
         std::to_string(kScorchW) +
         "\n"
         "#define ARTWORK_SCORCH_HEIGHT " +
         std::to_string(kScorchH) +
         "\n"
         "// The flame frames (XHONOO-01 to -03): their size, and where they sit in the scorch picture.\n"
         "#define ARTWORK_FLAME_WIDTH " +
         std::to_string(kFlameW) +
         "\n"
         "#define ARTWORK_FLAME_HEIGHT " +
         std::to_string(kFlameH) +
         "\n"
         "#define ARTWORK_FLAME_X " +
         std::to_string(kFlameX0) +
         "\n"
         "#define ARTWORK_FLAME_Y " +
         std::to_string(kFlameY0) + "\n";
    return h;
}

void checkPose(const Named &n, const Palette &pal) {
    const Indexed &img = n.img;
    int left = img.w, right = -1;
    bool onFloor = false;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (img.at(x, y) != kIndexBlack) {
                require(!pal.isBlack(img.at(x, y)), n.name + " uses a second black");
                left = std::min(left, x);
                right = std::max(right, x);
                onFloor = onFloor || y == img.h - 1;
            }
    require(onFloor, n.name + " does not stand on the bottom row");
    require(std::abs(left - (img.w - 1 - right)) <= 1, n.name + " is not centred");
}

void checkFirePictures(const Indexed &mask, const Indexed &image, const std::vector<const Indexed *> &flames,
                       const Palette &pal) {
    for (int y = 0; y < kScorchH; ++y)
        for (int x = 0; x < kScorchW; ++x) {
            const uint8_t m = mask.at(x, y), c = image.at(x, y);
            require(pal.isBlack(m) || pal.isWhite(m), "the scorch mask is only black and white");
            if (pal.isWhite(m))
                require(pal.isBlack(c), "the scorch image is black wherever the mask is white");
            const bool inFlame = x >= kFlameX0 && x <= kFlameX1 && y >= kFlameY0 && y <= kFlameY1;
            if (inFlame) require(pal.isBlack(m), "the flame rectangle lies inside the scorch");
            const auto &e = pal.entry[c];
            if (!inFlame) require(e[0] == e[1] && e[1] == e[2], "the circuit board stays under the flames");
        }
    for (const Indexed *f : flames)
        for (uint8_t c : f->px)
            require(!pal.isBlack(c), "a flame frame has a see-through black pixel");
}

int run(int argc, char **argv) {
    if (argc < 2) {
        std::cerr << "usage: artgen OUTDIR [--contact-sheet FILE.ppm] [--icon-preview FILE.pam] [--report]\n";
        return 2;
    }
    const std::filesystem::path outDir = argv[1];
    std::string sheetPath, iconPreviewPath;
    bool report = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--contact-sheet" && i + 1 < argc)
            sheetPath = argv[++i];
        else if (a == "--icon-preview" && i + 1 < argc)
            iconPreviewPath = argv[++i];
        else if (a == "--report")
            report = true;
        else {
            std::cerr << "artgen: unknown argument " << a << "\n";
            return 2;
        }
    }

    Palette pal = buildPalette();
    require(pal.used == 256 && pal.isBlack(0), "palette entry 0 is black and all 256 are defined");
    for (int i = 1; i < 256; ++i)
        require(!pal.isBlack(static_cast<uint8_t>(i)), "black appears only once in the palette");
    require(pal.isWhite(kIndexWhite) && pal.entry[kIndexChar] == std::array<uint8_t, 3>{49, 49, 49},
            "white and char grey sit where expected");

    std::vector<Named> all;
    for (const PoseSpec &entry : poseList()) {
        if (!entry.mirrorOf.empty()) {
            // Find the original first: adding to `all` while walking it would invalidate the walk.
            Indexed twin(1, 1, kIndexBlack);
            bool found = false;
            for (const Named &n : all) {
                if (n.name == entry.mirrorOf) {
                    twin = mirrored(n.img);
                    found = true;
                    break;
                }
            }
            require(found, "a mirrored pose follows its original");
            all.push_back({entry.name, std::move(twin)});
            continue;
        }
        Placement info;
        Indexed img = placeFigure(entry.pose, entry.w, entry.h, pal, &info);
        if (report)
            std::cout << entry.name << " " << entry.w << "x" << entry.h << " figure " << info.figW << "x"
                      << info.figH
                      << (info.scale < 1 ? " shrunk from " + std::to_string(info.naturalW) + "x" +
                                               std::to_string(info.naturalH)
                                         : "")
                      << "\n";
        all.push_back({entry.name, std::move(img)});
    }
    for (Named &n : all)
        checkPose(n, pal);
    all.push_back({"DMY-00", Indexed(1, 1, kIndexBlack)});

    const Scorch scorch;
    Indexed mask = scorchMask(scorch);
    Indexed image = scorchImage(scorch, mask, pal);
    std::vector<Indexed> flames;
    for (int f = 0; f < 3; ++f)
        flames.push_back(flameFrame(f, pal));
    checkFirePictures(mask, image, {&flames[0], &flames[1], &flames[2]}, pal);
    all.push_back({"XHONOO-BK1", std::move(mask)});
    all.push_back({"XHONOO-BK2", std::move(image)});
    for (int f = 0; f < 3; ++f)
        all.push_back({numbered("XHONOO-", f + 1), std::move(flames[static_cast<size_t>(f)])});

    // exactly the expected set, each at its exact size
    require(all.size() == std::size(kExpected), "71 bitmaps");
    for (const Expected &e : kExpected) {
        const auto it =
            std::find_if(all.begin(), all.end(), [&](const Named &n) { return n.name == e.name; });
        require(it != all.end(), std::string("missing ") + e.name);
        require(it->img.w == e.w && it->img.h == e.h, std::string("wrong size for ") + e.name);
    }
    require(all.back().img.px.size() > 0, "flames drawn");

    for (const char *name : kPoseCatalogue)
        require(std::any_of(all.begin(), all.end(), [&](const Named &n) { return n.name == name; }),
                std::string("the catalogue names a bitmap that is not drawn: ") + name);
    require(kFlameX1 - kFlameX0 + 1 == kFlameW && kFlameY1 - kFlameY0 + 1 == kFlameH,
            "the flame rectangle is the flame frames' size");

    const Icon icon = drawIcon();

    std::filesystem::create_directories(outDir / "bitmaps");
    for (const Named &n : all)
        writeFile(outDir / "bitmaps" / (n.name + ".bmp"), encodeBmp(n.img, pal));
    writeFile(outDir / "scrwarpvue.ico", encodeIco(icon));
    std::filesystem::create_directories(outDir / "icons");
    writeFile(outDir / "icons" / "scrwarpvue-32.png", encodeIconPng(icon, 1));
    writeFile(outDir / "icons" / "scrwarpvue-128.png", encodeIconPng(icon, 4));
    const std::string header = artworkHeader();
    writeFile(outDir / "artwork.h", std::vector<uint8_t>(header.begin(), header.end()));
    if (!sheetPath.empty()) writeContactSheet(sheetPath, all, pal);
    if (!iconPreviewPath.empty()) writeIconPreview(iconPreviewPath, icon);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::cerr << "artgen: " << e.what() << "\n";
        return 1;
    }
}
