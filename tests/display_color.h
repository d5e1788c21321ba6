#pragma once

#include <cmath>
#include <cstdint>

// The 8-bit level a colour component is shown at: NaN as 0 (what the frame
// pass hands the GL), then clamped to 0..1 as the GL does, to the nearest level.
inline int displayLevel(float component) {
  if (std::isnan(component)) return 0;
  const float clamped = std::fmin(std::fmax(component, 0.0f), 1.0f);
  return static_cast<int>(std::lround(clamped * 255.0f));
}

// NaN, +infinity, -infinity or finite.
enum ValueClass { finiteValue, nanValue, plusInfinity, minusInfinity };

inline ValueClass valueClass(float v) {
  if (std::isnan(v)) return nanValue;
  if (std::isinf(v)) return v > 0 ? plusInfinity : minusInfinity;
  return finiteValue;
}
