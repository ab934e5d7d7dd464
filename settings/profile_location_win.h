// Where the Windows program keeps its profile (settings/profile_location_win.cpp).
#pragma once

#ifdef _WIN32
// The full path of the per-user file.
const wchar_t *ProfilePathW();
#endif
