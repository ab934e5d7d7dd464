// The pose list: every pose bitmap by name, with the joint angles it shows.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include "robot.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

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

} // namespace
