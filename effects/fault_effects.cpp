// The fault effect renderer. Every distortion is a fixed pattern of same-size block transfers from the
// snapshot to the window, most of them one pixel: pictures are squeezed by skipping every second row or
// column, never scaled. The loops run in the order the user watches the slow ones build up.

#include "fault_effects.h"

namespace {

void WiringFaultEffect(HDC dst, HDC src, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            BitBlt(dst, x, y, 1, 1, src, w - 1 - x, h - 1 - y, SRCCOPY);
}

void HorizontalSyncEffect(HDC dst, HDC src, int w, int h) {
    for (int k = 0; 2 * k < w; ++k)
        BitBlt(dst, w / 4 + k, 0, 1, h, src, 2 * k, 0, SRCCOPY);
}

void PowerShortageEffect(HDC dst, HDC src, int w, int h) {
    for (int j = 0; 2 * j < h; ++j)
        for (int i = 0; 2 * i < w; ++i)
            BitBlt(dst, w / 4 + i, h / 4 + j, 1, 1, src, 2 * i, 2 * j, SRCCOPY);
}

void VerticalSyncEffect(HDC dst, HDC src, int w, int h) {
    for (int j = 0; 2 * j < h; ++j)
        BitBlt(dst, 0, h / 4 + j, w, 1, src, 0, 2 * j, SRCCOPY);
}

void MirrorEffect(HDC dst, HDC src, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            BitBlt(dst, x, y, 1, 1, src, w - 1 - x, y, SRCCOPY);
}

// Each source row is pushed down by h/8 and rises one row after every 34th column: an accumulator that
// climbs by 3 and drops the row once it reaches 100 (3, 6, ..., 99, 102) does so after columns 33, 67, ...,
// so the row is kept for runs of 34 columns.
void OveruseEffect(HDC dst, HDC src, int w, int h) {
    constexpr int kRun = 34;
    int r = h / 8;
    for (int sy = 0; sy < h; ++sy) {
        int d = r;
        for (int x0 = 0; x0 < w; x0 += kRun, --d) {
            const int x1 = x0 + kRun < w ? x0 + kRun : w;
            for (int x = x0; x < x1; ++x)
                BitBlt(dst, x, d, 1, 1, src, x, sy, SRCCOPY);
        }
        ++r;
    }
}

} // namespace

void RenderFaultEffect(const DrawContext &dc) {
    HDC dst = dc.window, src = g_app.snapshot.memory;
    const int w = g_app.screen.width, h = g_app.screen.height;
    switch (g_app.settings.DispType) {
    case WiringFault:
        WiringFaultEffect(dst, src, w, h);
        break;
    case HorizontalSyncFault:
        HorizontalSyncEffect(dst, src, w, h);
        break;
    case PowerShortage:
        PowerShortageEffect(dst, src, w, h);
        break;
    case VerticalSyncFault:
        VerticalSyncEffect(dst, src, w, h);
        break;
    case MirrorFault:
        MirrorEffect(dst, src, w, h);
        break;
    case Overuse:
        OveruseEffect(dst, src, w, h);
        break;
    case Overvoltage:
        BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
        break;
    case ColourShiftFault:
        BitBlt(dst, 0, 0, w, h, src, 0, 0, NOTSRCCOPY);
        break;
    default:
        break;
    }
}
