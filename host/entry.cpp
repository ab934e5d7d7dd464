// The program's entry: one copy at a time, the switches, then the settings dialog or the saver.

#include "../common/saver_types.h"
#include "../platform/saver_switches.h"
#include "../settings/settings_dialog.h"
#include "saver_window.h"

SaverApp g_app;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_tail, int show) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kAppName);
    if (!mutex) return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return 0; // another copy runs; its mutex stays as it is

    g_app.instance = instance;
    if (!command_tail || !*command_tail) {
        ReleaseMutex(mutex);
        return 0;
    }
    const SaverSwitches switches = ScanSwitches(command_tail);
    if (switches.configure) {
        OpenSettingsDialog(GetActiveWindow());
        ReleaseMutex(mutex);
        return 0;
    }
    if (!switches.saver) {
        ReleaseMutex(mutex);
        return 0;
    }
    if (!previous && !RegisterSaverClass(instance)) {
        ReleaseMutex(mutex);
        return 0;
    }
    if (!CreateSaverWindow(instance, show)) {
        ReleaseMutex(mutex);
        return 0;
    }
    MSG msg{};
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) { // the queue failed: stop rather than dispatch an unfilled message or spin
            msg.wParam = 0;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    ReleaseMutex(mutex);
    return int(msg.wParam);
}
