// The robot's interpreter. Each step takes at most one turn, one loop and one jump, then shows one pose:
// it moves the robot by that pose's rule, fills the rectangle it drew last time black, and ORs the new
// pose onto the window with its feet on the foot line. Chance comes only from the clock's milliseconds
// (and once its seconds), read afresh at each use.

#include "interpreter.h"

#include "behaviour_script.h"
#include "pose_catalogue.h"

ScriptCursor g_cursor;
RobotActor g_actor = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0};

namespace {

constexpr int kFacingLeft = 0;
constexpr int kFacingRight = 1;

int Walk(int x) {
    SYSTEMTIME t = ClockNoise();
    const int m = t.wMilliseconds, band = (t.wSecond / 10) / 2;
    if (band == 0) {
        if (m % 6 == 0 && g_actor.facing == kFacingLeft) g_actor.facing = kFacingRight;
    } else {
        if (m % 6 == 0 && g_actor.facing == kFacingRight) g_actor.facing = kFacingLeft;
    }
    if (g_actor.facing == kFacingLeft && x < g_app.stage.left) g_actor.facing = kFacingRight;
    if (g_actor.facing == kFacingRight && x > g_app.stage.right) g_actor.facing = kFacingLeft;
    return g_actor.facing == kFacingRight ? x + m % 7 : x - m % 7;
}

int Descend(int y) {
    const int m = ClockNoise().wMilliseconds;
    const int lower = y + m % 7 + 2;
    return lower < g_app.stage.top ? lower : g_app.stage.top;
}

void Respawn() {
    const int m = ClockNoise().wMilliseconds;
    const int width = g_app.stage.right - g_app.stage.left;
    g_actor.x = g_app.stage.left + (width > 0 ? m % width : 0);
    g_actor.y = 30;
}

int Toward(int step) {
    return g_actor.facing == kFacingRight ? step : -step;
}

void Move(int pose) {
    switch (pose) {
    case 0:
    case 1:
        g_actor.x += Toward(2);
        break;
    case 2:
    case 3:
        g_actor.x = Walk(g_actor.x);
        g_actor.y = Descend(g_actor.y);
        if (g_actor.y == g_app.stage.top) g_cursor.loop_counter = 9999; // landed: the descent loop ends
        break;
    case 11:
        Respawn();
        break;
    case 33:
    case 34:
        g_actor.x += Toward(17);
        break;
    case 38:
        g_actor.x += Toward(60);
        break;
    case 45:
        g_actor.x -= Toward(47);
        break; // thrown back against the facing
    case 51:
    case 52:
        g_actor.x = Walk(g_actor.x);
        g_actor.y -= 5;
        break;
    default:
        break;
    }
}

const int32_t *Entry() {
    return &BehaviourScript[g_cursor.row][g_cursor.column];
}

// The script never leaves its rows; should the cursor ever stray, it starts the show again.
void KeepCursorInScript() {
    if (g_cursor.row < 0 || g_cursor.row >= kScriptRows || g_cursor.column < 0 ||
        g_cursor.column > kScriptRowInts - 3) {
        g_cursor = ScriptCursor{};
    }
}

} // namespace

void RobotStep(const DrawContext &dc) {
    const int step = g_actor.entry_width;
    KeepCursorInScript();
    if (Entry()[0] == TurnEntry) {
        g_cursor.column += step;
        g_actor.facing = g_actor.facing == kFacingRight ? kFacingLeft : kFacingRight;
        KeepCursorInScript();
    }
    if (Entry()[0] == LoopEntry) {
        const int back = Entry()[1], repeats = Entry()[2];
        if (g_cursor.loop_counter < repeats) {
            g_cursor.column -= back * step;
            ++g_cursor.loop_counter;
        } else {
            g_cursor.column += step;
            g_cursor.loop_counter = 0;
        }
        KeepCursorInScript();
    }
    if (Entry()[0] == GotoEntry) {
        g_cursor.row = Entry()[1];
        g_cursor.column = 0;
        KeepCursorInScript();
    }
    if (g_cursor.remaining == 0) g_cursor.remaining = Entry()[1];

    const int script_pose = Entry()[0];
    Move(script_pose);
    const int pose = g_actor.facing == kFacingRight ? RightFacingTwin(script_pose) : script_pose;
    g_actor.current_pose = pose;

    // A pose whose bitmap is missing has no size: it draws nothing, and the next step's erase is empty.
    HBITMAP bitmap = PoseBitmap(pose);
    BITMAP bm{};
    if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) bm.bmWidth = bm.bmHeight = 0;
    g_actor.current_w = bm.bmWidth;
    g_actor.current_h = bm.bmHeight;

    RECT last;
    last.left = g_actor.last_x - g_actor.last_w / 2;
    last.right = g_actor.last_x + g_actor.last_w - g_actor.last_w / 2;
    last.top = g_actor.last_y - g_actor.last_h;
    last.bottom = g_actor.last_y;
    FillRect(dc.window, &last, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    if (bitmap && bm.bmWidth > 0) {
        HGDIOBJ previous = SelectObject(dc.scratch, bitmap);
        BitBlt(dc.window, g_actor.x - bm.bmWidth / 2, g_actor.y - bm.bmHeight, bm.bmWidth, bm.bmHeight,
               dc.scratch, 0, 0, SRCPAINT);
        SelectObject(dc.scratch, previous);
    }
    g_actor.last_x = g_actor.x;
    g_actor.last_y = g_actor.y;
    g_actor.last_w = g_actor.current_w;
    g_actor.last_h = g_actor.current_h;

    if (--g_cursor.remaining == 0) g_cursor.column += step;
}
