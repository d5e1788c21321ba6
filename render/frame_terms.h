#pragma once

#include <cmath>

// The terms that depend on the clock alone, the same for every point of a frame.
struct FrameTerms {
  double t;             // the clock
  float outlineRadius;  // W
  double pulseFactor;   // between 2 and 12
};

inline FrameTerms frameTerms(float t) {
  const double clock = t;
  const float outlineRadius = static_cast<float>(std::cos(clock * 0.14) * 0.2 + 1.4);
  const float pulseSine = static_cast<float>(std::sin(static_cast<float>(clock / 10)));
  return {clock, outlineRadius, std::fabs(pulseSine) * 10.0 + 2};
}
