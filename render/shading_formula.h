#pragma once

#include <cmath>

#include "frame_terms.h"
#include "grid.h"

// The colour formula, written once for any lane type: a double, or a vector
// of doubles. All arithmetic is double; roundToSingle marks each place where
// a single-precision quantity receives a result. An includer that uses a
// vector lane type declares roundToSingle, absLanes, atanLanes, sinLanes,
// cosLanes and sqrtLanes for it before including this header.

inline double roundToSingle(double v) { return static_cast<float>(v); }
inline double absLanes(double v) { return std::fabs(v); }
inline double atanLanes(double v) { return std::atan(v); }
inline double sinLanes(double v) { return std::sin(v); }
inline double cosLanes(double v) { return std::cos(v); }
inline double sqrtLanes(double v) { return std::sqrt(v); }

template <class Lane>
struct ColorLanes {
  Lane red, green, blue;
};

// Colour of the points at columns x and rows y (integral values) for one frame.
template <class Lane>
ColorLanes<Lane> shadeLanes(Lane x, Lane y, const FrameTerms& frame) {
  // Normalised position, both axes from -1 to just under 1.
  const Lane X = roundToSingle(x / gridWidth * 2 - 1);
  const Lane Y = roundToSingle(y / gridHeight * 2 - 1);
  // Twice the one-argument arctangent: a point and its reflection through
  // the centre share it.
  const Lane theta = roundToSingle(2 * roundToSingle(atanLanes(roundToSingle(Y / X))));
  // Ripple along the edge, and the outline's scale.
  const Lane D = sinLanes(5 * theta - 16 * frame.t) * 0.02;
  const Lane E = roundToSingle(cosLanes(roundToSingle(50 / theta))) * D + 0.5;
  const Lane K = 1 / roundToSingle(sinLanes(theta));
  // Distorted radius, its distance to the outline, and the pulsed distance.
  const Lane P = roundToSingle(roundToSingle(X / E) * K);
  const Lane Q = roundToSingle(K * roundToSingle(Y / E));
  const Lane R = roundToSingle(sqrtLanes(roundToSingle(P * P + Q * Q)));
  const Lane U = roundToSingle(absLanes(roundToSingle(R - frame.outlineRadius)));
  const Lane V = roundToSingle(frame.pulseFactor * U);
  return {roundToSingle(0 / V), roundToSingle(0.2 / V), roundToSingle(2.22 / V)};
}
