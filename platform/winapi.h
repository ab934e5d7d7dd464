// The one platform header of the program: the real <windows.h> on Windows, our own implementation of
// the same subset on Linux (platform/posix).
#pragma once

#ifdef _WIN32
#ifndef STRICT
#define STRICT
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "posix/winapi_posix.h"
#endif
