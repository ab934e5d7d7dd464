// What the saver draws after start-up: the frame tick on every timer message, and the repaint on every
// background erase after the first.
#pragma once

#include "../common/saver_types.h"

DrawContext OpenDrawContext(HWND hwnd);
void CloseDrawContext(HWND hwnd, const DrawContext &dc);
void FrameTick(HWND hwnd);
void Repaint(HWND hwnd);
