// The settings dialog's handler. It shows the stored display type and robot switch when it opens and
// stores both when confirmed; the overvoltage fault is confirmed only after a warning. EternalFire is
// neither shown nor written here.

#include "settings_dialog.h"

#include "settings_store.h"

#ifdef _WIN32
#include <vector>
#endif

const char FireWarning[] = "● 使用上の注意！！\n"
                           "\n"
                           "この「過剰電圧」の表示タイプは\n"
                           " \n"
                           "画面から本当に炎が出ているように見える場合があ　　　\n"
                           "ります、他者に迷惑を与える可能性がありますので　　　\n"
                           "ご使用にあたっては充分ご注意ください。\n"
                           " \n"
                           "使用者の責任のもとお使いください。\n"
                           " \n"
                           "尚、１０分ほどで炎表示はなくなります。\n"
                           " \n";

const TypeButton kTypeButtons[8] = {
    {IDC_WIRING_FAULT, WiringFault},     {IDC_HSYNC_FAULT, HorizontalSyncFault},
    {IDC_POWER_SHORTAGE, PowerShortage}, {IDC_VSYNC_FAULT, VerticalSyncFault},
    {IDC_MIRROR_FAULT, MirrorFault},     {IDC_OVERUSE, Overuse},
    {IDC_OVERVOLTAGE, Overvoltage},      {IDC_COLOUR_SHIFT, ColourShiftFault}};

namespace {

constexpr int kOvervoltageButton = IDC_OVERVOLTAGE;

// The warning is held as UTF-8; on Windows it goes through the wide-character call so that it reads
// correctly whatever the system's code page.
void ShowFireWarning(HWND dialog) {
#ifdef _WIN32
    int n = MultiByteToWideChar(CP_UTF8, 0, FireWarning, -1, nullptr, 0);
    std::vector<wchar_t> text(size_t(n > 0 ? n : 1));
    MultiByteToWideChar(CP_UTF8, 0, FireWarning, -1, text.data(), n);
    MessageBoxW(dialog, text.data(), L"SCRWARPVUE", MB_OK | MB_ICONINFORMATION);
#else
    MessageBoxA(dialog, FireWarning, kAppName, MB_OK | MB_ICONINFORMATION);
#endif
}

void InitialiseDialog(HWND dialog) {
    int32_t type = ReadSetting("DispType", 1);
    for (const TypeButton &b : kTypeButtons)
        CheckDlgButton(dialog, b.control, BST_UNCHECKED);
    for (const TypeButton &b : kTypeButtons)
        if (b.type == type) CheckDlgButton(dialog, b.control, BST_CHECKED);
    int32_t robot = ReadSetting("DispRobo", 1);
    CheckDlgButton(dialog, kRobotCheckBox, robot == 1 ? BST_CHECKED : BST_UNCHECKED);
}

void ConfirmDialog(HWND dialog) {
    if (IsDlgButtonChecked(dialog, kOvervoltageButton) != 0) ShowFireWarning(dialog);
    int32_t type = WiringFault;
    for (const TypeButton &b : kTypeButtons)
        if (IsDlgButtonChecked(dialog, b.control) != 0) type = b.type;
    WriteSetting("DispType", type);
    int32_t robot = 0;
    if (IsDlgButtonChecked(dialog, kRobotCheckBox) != 0) robot = 1;
    WriteSetting("DispRobo", robot);
    EndDialog(dialog, 1);
}

} // namespace

INT_PTR OpenSettingsDialog(HWND owner) {
#ifdef _WIN32
    // The wide-character dialog keeps the template's Japanese labels whatever the system's code page.
    return DialogBoxParamW(g_app.instance, L"DLG_QUINDLEX", owner, SettingsDialogProc, 0);
#else
    return DialogBoxParamA(g_app.instance, "DLG_QUINDLEX", owner, SettingsDialogProc, 0);
#endif
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT msg, WPARAM wp, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        InitialiseDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
            ConfirmDialog(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
