// The settings store: integers under fixed keys of the profile file, with defaults when absent. On
// Linux the posix layer resolves the bare file name; on Windows the file is the per-user one.

#include "profile_location_win.h"
#include "settings_store.h"

#ifdef _WIN32
#include <cstring>
#include <string>

namespace {
// Section, keys and values are ASCII; the wide calls are there for the path, which may not be.
std::wstring Wide(const char *ascii) {
    return std::wstring(ascii, ascii + strlen(ascii));
}
} // namespace

int32_t ReadSetting(const char *key, int32_t default_value) {
    return int32_t(GetPrivateProfileIntW(Wide(kProfileSection).c_str(), Wide(key).c_str(), default_value,
                                         ProfilePathW()));
}

void WriteSetting(const char *key, int32_t value) {
    char text[12];
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringW(Wide(kProfileSection).c_str(), Wide(key).c_str(), Wide(text).c_str(),
                               ProfilePathW());
}
#else
int32_t ReadSetting(const char *key, int32_t default_value) {
    return int32_t(GetPrivateProfileIntA(kProfileSection, key, default_value, kProfileFile));
}

void WriteSetting(const char *key, int32_t value) {
    char text[12];
    wsprintfA(text, "%d", value);
    WritePrivateProfileStringA(kProfileSection, key, text, kProfileFile);
}
#endif

void LoadSettings() {
    g_app.settings.DispType = ReadSetting("DispType", 1);
    g_app.settings.DispRobo = ReadSetting("DispRobo", 1);
    g_app.settings.EternalFire = ReadSetting("EternalFire", 0);
    WriteSetting("EternalFire", g_app.settings.EternalFire);
}
