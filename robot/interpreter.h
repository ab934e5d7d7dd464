// The script interpreter: one pose of the robot per frame tick.
#pragma once

#include "../common/saver_types.h"

struct ScriptCursor {
    int row;
    int column;    // first integer of the current entry, a multiple of the entry width
    int remaining; // ticks left for the current pose; 0 loads its duration afresh
    int loop_counter;
};

struct RobotActor {
    int x;           // horizontal centre
    int y;           // foot line: the row just below the lowest pixel
    int entry_width; // the script's entry width, the column step
    int facing;      // 1 facing right, 0 facing left
    int current_pose;
    int current_w, current_h;
    int last_x, last_y, last_w, last_h; // what the previous step drew
};

extern ScriptCursor g_cursor;
extern RobotActor g_actor;

// Advances the script by at most one pose, moves the robot, erases where it was last drawn and draws it
// anew on the window surface.
void RobotStep(const DrawContext &dc);
