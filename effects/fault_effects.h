// The eight monitor faults, drawn from the desktop snapshot onto the window.
#pragma once

#include "../common/saver_types.h"

// Draws the fault of the current display type completely, straight onto the window surface of the open
// DrawContext. A display type outside 1 to 8 draws nothing.
void RenderFaultEffect(const DrawContext &dc);
