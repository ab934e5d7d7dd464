// The frame tick and the repaint. Each opens a DrawContext, draws in a fixed order straight onto the
// window and closes it again; nothing is kept between calls and nothing is double-buffered.

#include "frame_tick.h"

#include "../effects/fault_effects.h"
#include "../fire/fire.h"
#include "../robot/interpreter.h"

DrawContext OpenDrawContext(HWND hwnd) {
    DrawContext dc;
    dc.window = GetDC(hwnd);
    dc.scratch = CreateCompatibleDC(dc.window);
    return dc;
}

void CloseDrawContext(HWND hwnd, const DrawContext &dc) {
    DeleteDC(dc.scratch);
    ReleaseDC(hwnd, dc.window);
}

void FrameTick(HWND hwnd) {
    DrawContext dc = OpenDrawContext(hwnd);
    if (!g_app.scene_drawn) {
        g_app.scene_drawn = true;
        RenderFaultEffect(dc);
    }
    if (g_app.settings.DispType == VerticalSyncFault && g_app.settings.DispRobo == 1 && StageHasArea())
        RobotStep(dc);
    if (g_app.settings.DispType == Overvoltage && StageHasArea()) FireTick(dc);
    CloseDrawContext(hwnd, dc);
}

void Repaint(HWND hwnd) {
    DrawContext dc = OpenDrawContext(hwnd);
    RenderFaultEffect(dc);
    if (g_app.settings.DispType == Overvoltage) DrawScorch(dc);
    CloseDrawContext(hwnd, dc);
}
