// The fire. Phases run 0, 1, 2, 3, 4, 2, 3, 4, ...: nothing, ignition (the hole at a place picked from
// the clock), then the three flame frames over and over. A bitmap that failed to load is skipped.

#include "fire.h"

namespace {

const char *const kFireNames[kFireBitmapCount] = {"XHONOO-BK1", "XHONOO-BK2", "XHONOO-01", "XHONOO-02",
                                                  "XHONOO-03"};

bool SizeOf(HBITMAP bitmap, int *w, int *h) {
    BITMAP bm{};
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) return false;
    *w = bm.bmWidth;
    *h = bm.bmHeight;
    return true;
}

// The scorch's centre lands on a point of the stage picked by one clock reading.
void ChooseOrigin() {
    const int ms = ClockNoise().wMilliseconds;
    const StageBounds &s = g_app.stage;
    const int width = s.right - s.left, height = s.bottom - s.top;
    g_app.fire_state.origin_x = s.left + (width > 0 ? ms % width : 0) - ARTWORK_SCORCH_WIDTH / 2;
    g_app.fire_state.origin_y = s.top + (height > 0 ? ms % height : 0) - ARTWORK_SCORCH_HEIGHT / 2;
}

} // namespace

void LoadFireBitmaps() {
    for (int i = 0; i < kFireBitmapCount; ++i)
        g_app.fire[i] = LoadBitmapA(g_app.instance, kFireNames[i]);
}

void ReleaseFireBitmaps() {
    for (HBITMAP &b : g_app.fire) {
        DeleteObject(b);
        b = nullptr;
    }
}

void FireTick(const DrawContext &dc) {
    FireState &f = g_app.fire_state;
    if (g_app.settings.EternalFire == 0) ++f.tick_count;
    if (f.tick_count < FireTickBudget)
        FireStep(dc);
    else if (f.tick_count == FireTickBudget)
        DrawScorch(dc); // burn-out: the hole over the last flame
    else
        f.tick_count = FireTickBudget;
}

void FireStep(const DrawContext &dc) {
    FireState &f = g_app.fire_state;
    switch (f.phase) {
    case 1:
        ChooseOrigin();
        DrawScorch(dc);
        break;
    case 2:
        DrawFlameFrame(dc, g_app.fire[FlameFrame1]);
        break;
    case 3:
        DrawFlameFrame(dc, g_app.fire[FlameFrame2]);
        break;
    case 4:
        DrawFlameFrame(dc, g_app.fire[FlameFrame3]);
        f.phase = 1;
        break;
    default:
        break;
    }
    ++f.phase;
}

void DrawScorch(const DrawContext &dc) {
    int w, h;
    HBITMAP mask = g_app.fire[ScorchMask], image = g_app.fire[ScorchImage];
    if (!SizeOf(mask, &w, &h)) return;
    const FireState &f = g_app.fire_state;
    HGDIOBJ previous = SelectObject(dc.scratch, mask);
    BitBlt(dc.window, f.origin_x, f.origin_y, w, h, dc.scratch, 0, 0, SRCAND);
    if (image) {
        SelectObject(dc.scratch, image);
        BitBlt(dc.window, f.origin_x, f.origin_y, w, h, dc.scratch, 0, 0, SRCPAINT);
    }
    SelectObject(dc.scratch, previous);
}

void DrawFlameFrame(const DrawContext &dc, HBITMAP frame) {
    int w, h;
    if (!SizeOf(frame, &w, &h)) return;
    const FireState &f = g_app.fire_state;
    HGDIOBJ previous = SelectObject(dc.scratch, frame);
    BitBlt(dc.window, f.origin_x + kFlameOffsetX, f.origin_y + kFlameOffsetY, w, h, dc.scratch, 0, 0,
           SRCCOPY);
    SelectObject(dc.scratch, previous);
}
