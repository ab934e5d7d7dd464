// The three settings in the profile file SCRWARPVUE.ini, section SCRWARPVUE_SECTION.
#pragma once

#include "../common/saver_types.h"

constexpr const char kProfileFile[] = "SCRWARPVUE.ini";
constexpr const char kProfileSection[] = "SCRWARPVUE_SECTION";

int32_t ReadSetting(const char *key, int32_t default_value);
void WriteSetting(const char *key, int32_t value);
// At saver start: all three into g_app.settings, and EternalFire written straight back.
void LoadSettings();
