// The 79 poses of the robot, each a bitmap resource, and the rule that turns a left-facing pose into
// its right-facing twin.
#pragma once

#include "../common/saver_types.h"

extern const char *const kPoseNames[kPoseCount];

// Loads every pose in catalogue order; each one that fails shows "Could not load Bitmap." owned by the
// saver window and leaves a null entry.
void LoadPoseCatalogue(HWND owner);
void DeletePoseCatalogue();
HBITMAP PoseBitmap(PoseIndex pose);
PoseIndex RightFacingTwin(PoseIndex pose);
