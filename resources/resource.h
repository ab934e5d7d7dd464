// Every numeric resource and control id of the program, for the resource script and the code alike.
// Only #define lines: the resource compiler reads this file too.
#pragma once

// The saver's name, which the Screen Saver settings list shows (string 1, as Windows expects).
#define IDS_DESCRIPTION 1

// The program file's icon group (a numeric id, so a lookup by name finds none).
#define IDI_PROGRAM 100

// Controls of the settings dialog (besides IDOK and IDCANCEL).
#define IDC_STATIC (-1)
#define IDC_WIRING_FAULT 1000
#define IDC_HSYNC_FAULT 1001
#define IDC_VSYNC_FAULT 1002
#define IDC_POWER_SHORTAGE 1003
#define IDC_MIRROR_FAULT 1004
#define IDC_OVERUSE 1005
#define IDC_OVERVOLTAGE 1006
#define IDC_ROBOT 1007
#define IDC_COLOUR_SHIFT 1008
