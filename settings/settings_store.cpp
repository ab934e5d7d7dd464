// The settings store: integers under fixed keys of the profile file, with defaults when absent.

#include "settings_store.h"

int32_t ReadSetting(const char *key, int32_t default_value) {
    return int32_t(GetPrivateProfileIntA(kProfileSection, key, default_value, kProfileFile));
}

void WriteSetting(const char *key, int32_t value) {
    char text[12];
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringA(kProfileSection, key, text, kProfileFile);
}

void LoadSettings() {
    g_app.settings.DispType = ReadSetting("DispType", 1);
    g_app.settings.DispRobo = ReadSetting("DispRobo", 1);
    g_app.settings.EternalFire = ReadSetting("EternalFire", 0);
    WriteSetting("EternalFire", g_app.settings.EternalFire);
}
