// The robot: its body measures, a pose's joint angles, the builder that turns a pose into a figure,
// and placing a figure on its bitmap.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "figure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>

namespace {

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

} // namespace
