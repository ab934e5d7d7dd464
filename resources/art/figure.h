// Figure drawing: shapes as signed distances with their paint, layered into a figure and rendered with
// supersampling.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "images.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace {

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

} // namespace
