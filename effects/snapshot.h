// The desktop snapshot taken at start, the screen size and the stage geometry derived from it.
#pragma once

#include "../common/saver_types.h"

void CaptureDesktop();
void ComputeStageBounds();
void ReleaseSnapshot();
