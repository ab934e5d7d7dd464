// The shared types every part of the program reads, the constants, and the declaration of the saver's
// process-wide record (defined by the entry, host/entry.cpp). Below every part: settings/, effects/,
// robot/, fire/ and host/ include it, and it includes nothing of theirs.
#pragma once

#include "../platform/winapi.h"
#include "../resources/artwork.h"

#include <cstdint>

// The monitor fault on show, as stored under DispType.
enum DisplayType : int32_t {
    WiringFault = 1,
    HorizontalSyncFault = 2,
    PowerShortage = 3,
    VerticalSyncFault = 4,
    MirrorFault = 5,
    Overuse = 6,
    Overvoltage = 7,
    ColourShiftFault = 8,
};

// The three settings, read once when the saver window is created.
struct Settings {
    int32_t DispType;
    int32_t DispRobo;
    int32_t EternalFire;
};

struct ScreenSize {
    int32_t width;
    int32_t height;
};

// The desktop as it was at start: the screen surface, a memory surface, and the picture selected in it.
struct DesktopSnapshot {
    HDC screen;
    HDC memory;
    HBITMAP picture; // null when it could not be made
};

// The band inside a quarter-screen margin on every side.
struct StageBounds {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The burning hole of the overvoltage fault.
struct FireState {
    int32_t phase;
    int32_t tick_count;
    int32_t origin_x;
    int32_t origin_y;
};

// An index 0 to kPoseCount - 1 into the pose catalogue.
using PoseIndex = int;
constexpr int kPoseCount = ARTWORK_POSE_COUNT;
constexpr int kFireBitmapCount = 5;
enum FireBitmap { ScorchMask = 0, ScorchImage = 1, FlameFrame1 = 2, FlameFrame2 = 3, FlameFrame3 = 4 };

struct SaverApp {
    HINSTANCE instance;
    Settings settings;
    ScreenSize screen;
    StageBounds stage;
    DesktopSnapshot snapshot;
    HBITMAP poses[kPoseCount];
    HBITMAP fire[kFireBitmapCount];
    uint16_t timer;
    POINT start_pointer;
    bool first_erase_done;
    bool scene_drawn;
    bool dismissed;
    FireState fire_state;
};

extern SaverApp g_app;

// The window surface and a scratch memory surface, valid for one tick or one repaint.
struct DrawContext {
    HDC window;
    HDC scratch;
};

constexpr const char kAppName[] = "SCRWARPVUE";
constexpr UINT_PTR kTimerId = 100;
constexpr UINT kTickPeriodMs = 213;

// The program's only source of chance: the local clock, read afresh at each use. A rule that takes two
// numbers from one reading (the walk's seconds and milliseconds, the fire's two coordinates) takes both
// from the one record this returns.
inline SYSTEMTIME ClockNoise() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return t;
}

// True when the stage has room for the robot and the fire: their random placement takes remainders by
// its width and height, so a screen that measured 0 in either direction shows neither.
inline bool StageHasArea() {
    return g_app.stage.right > g_app.stage.left && g_app.stage.bottom > g_app.stage.top;
}
