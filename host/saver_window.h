// The saver window: its class, its creation and its message handler.
#pragma once

#include "../common/saver_types.h"

bool RegisterSaverClass(HINSTANCE instance);
bool CreateSaverWindow(HINSTANCE instance, int show);
LRESULT CALLBACK SaverWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
