// The desktop as the user left it, copied once into a picture in memory before the saver window shows.

#include "snapshot.h"

void CaptureDesktop() {
    DesktopSnapshot &s = g_app.snapshot;
    s.screen = GetDC(nullptr);
    g_app.screen.width = GetDeviceCaps(s.screen, HORZRES);
    g_app.screen.height = GetDeviceCaps(s.screen, VERTRES);
    const int w = g_app.screen.width, h = g_app.screen.height;
    s.memory = CreateCompatibleDC(s.screen);
    s.picture = CreateCompatibleBitmap(s.screen, w, h);
    if (s.picture) {
        SelectObject(s.memory, s.picture);
        StretchBlt(s.memory, 0, 0, w, h, s.screen, 0, 0, w, h, SRCCOPY);
    }
}

void ComputeStageBounds() {
    StageBounds &b = g_app.stage;
    b.left = g_app.screen.width / 4;
    b.right = g_app.screen.width - b.left;
    b.top = g_app.screen.height / 4;
    b.bottom = g_app.screen.height - b.top;
}

void ReleaseSnapshot() {
    DesktopSnapshot &s = g_app.snapshot;
    if (s.memory) DeleteDC(s.memory);
    if (s.picture) DeleteObject(s.picture);
    if (s.screen) ReleaseDC(nullptr, s.screen);
    s = DesktopSnapshot{};
}
