// The saver window: one borderless popup over the primary screen. Its handler sets everything up when
// the window is created, hands timer ticks and background erases to the drawing, and gives everything
// back at the first key, click or real pointer movement.

#include "saver_window.h"

#include "../effects/snapshot.h"
#include "../fire/fire.h"
#include "../robot/pose_catalogue.h"
#include "../settings/settings_store.h"
#include "frame_tick.h"

namespace {

void StartSaver(HWND hwnd) {
    CaptureDesktop();
    LoadSettings();
    LoadPoseCatalogue(hwnd);
    LoadFireBitmaps();
    ComputeStageBounds();
    g_app.timer = uint16_t(SetTimer(hwnd, kTimerId, kTickPeriodMs, nullptr));
    GetCursorPos(&g_app.start_pointer);
    ShowCursor(FALSE);
}

// Gives back everything the start took. Later dismissal messages, already queued behind the first,
// find nothing left to release.
void Dismiss(HWND hwnd) {
    if (g_app.dismissed) return;
    g_app.dismissed = true;
    DeletePoseCatalogue();
    ReleaseFireBitmaps();
    ReleaseSnapshot();
    if (g_app.timer != 0) KillTimer(hwnd, kTimerId);
    ShowCursor(TRUE);
    PostQuitMessage(0);
}

} // namespace

bool RegisterSaverClass(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = SaverWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "ICON");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = kAppName;
    return RegisterClassA(&wc) != 0;
}

bool CreateSaverWindow(HINSTANCE instance, int show) {
    HWND hwnd = CreateWindowExA(0, kAppName, kAppName, WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, nullptr);
    if (!hwnd) return false;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    return true;
}

LRESULT CALLBACK SaverWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        StartSaver(hwnd);
        return 0;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        if (!g_app.first_erase_done)
            g_app.first_erase_done = true;
        else if (!g_app.dismissed)
            Repaint(hwnd);
        return 0;
    }
    case WM_TIMER:
        if (!g_app.dismissed) FrameTick(hwnd);
        return 0;
    case WM_MOUSEMOVE: {
        POINT pt;
        if (GetCursorPos(&pt) && pt.x != g_app.start_pointer.x && pt.y != g_app.start_pointer.y)
            Dismiss(hwnd);
        return 0;
    }
    case WM_DESTROY:
    case WM_NCMOUSEMOVE:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        Dismiss(hwnd);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
}
