#pragma once

#include "frame_terms.h"
#include "grid.h"
#include "pixel_shading.h"

// Shades one column of the grid, rows 0 to gridHeight - 1, for one frame.
using ColumnShader = void (*)(int x, const FrameTerms& frame, PixelColor column[gridHeight]);

// One instruction set's build of the column shader.
struct ShadingTarget {
  const char* name;
  bool (*isSupported)();
  ColumnShader shadeColumn;
};

// Every target built in, the widest first; the last one, "scalar", runs anywhere.
extern const ShadingTarget shadingTargets[];
extern const int shadingTargetCount;

// The widest target the running CPU supports.
const ShadingTarget& bestShadingTarget();
