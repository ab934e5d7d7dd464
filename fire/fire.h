// The fire of the overvoltage fault: a scorched hole that opens, flames that flicker in it, and the
// burn-out after the budget of ticks unless the fire is endless.
#pragma once

#include "../common/saver_types.h"

constexpr int32_t FireTickBudget = 3000;
constexpr int kFlameOffsetX = ARTWORK_FLAME_X; // the flames' place in the scorch picture
constexpr int kFlameOffsetY = ARTWORK_FLAME_Y;

void LoadFireBitmaps();
void ReleaseFireBitmaps();
void FireTick(const DrawContext &dc);
void FireStep(const DrawContext &dc);
void DrawScorch(const DrawContext &dc);
void DrawFlameFrame(const DrawContext &dc, HBITMAP frame);
