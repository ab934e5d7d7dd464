// The fire of the overvoltage fault: a scorched hole that opens, flames that flicker in it, and the
// burn-out after the budget of ticks unless the fire is endless.
#pragma once

#include "../host/saver_app.h"

constexpr int32_t FireTickBudget = 3000;
constexpr int kFlameOffsetX = 112;
constexpr int kFlameOffsetY = 54;

void LoadFireBitmaps();
void ReleaseFireBitmaps();
void FireTick(const DrawContext &dc);
void FireStep(const DrawContext &dc);
void DrawScorch(const DrawContext &dc);
void DrawFlameFrame(const DrawContext &dc, HBITMAP frame);
