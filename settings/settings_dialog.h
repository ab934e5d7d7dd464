// The settings dialog: the eight faults as radio buttons and the robot switch as a check box.
#pragma once

#include "../common/saver_types.h"
#include "../resources/resource.h"

// The warning shown before the overvoltage fault is stored, as UTF-8: twelve lines, each ending in a
// line feed.
extern const char FireWarning[];

INT_PTR OpenSettingsDialog(HWND owner);
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM lp);

// The radio button that stands for each display type, in the order the dialog tests them.
struct TypeButton {
    int control;
    int32_t type;
};
extern const TypeButton kTypeButtons[8];
constexpr int kRobotCheckBox = IDC_ROBOT;
