// The column shader for one instruction set. This file is compiled once per
// target, with that target's compiler flags and COLUMN_KERNEL_TARGET naming it;
// the formula itself comes from shading_formula.h, shared with shadePixel.
#include "column_shading.h"

#if defined(COLUMN_KERNEL_AVX512) || defined(COLUMN_KERNEL_AVX2) || defined(COLUMN_KERNEL_SSE2)
#include <sleef.h>

#if defined(COLUMN_KERNEL_AVX512)
#define COLUMN_KERNEL_TARGET avx512
#define LANE_WIDTH 8
#define SLEEF_SUFFIX avx512f
#elif defined(COLUMN_KERNEL_AVX2)
#define COLUMN_KERNEL_TARGET avx2
#define LANE_WIDTH 4
#define SLEEF_SUFFIX avx2
#else
#define COLUMN_KERNEL_TARGET sse2
#define LANE_WIDTH 2
#define SLEEF_SUFFIX sse2
#endif

// Sleef_<fn>d<width>_<ulps><suffix>: the double-precision function within
// <ulps> (u10: 1 ULP, u05: 0.5 ULP).
#define SLEEF_NAME_(fn, width, ulps, suffix) Sleef_##fn##d##width##_##ulps##suffix
#define SLEEF_NAME(fn, width, ulps, suffix) SLEEF_NAME_(fn, width, ulps, suffix)
#define SLEEF(fn, ulps) SLEEF_NAME(fn, LANE_WIDTH, ulps, SLEEF_SUFFIX)

namespace {
using Lane = double __attribute__((vector_size(LANE_WIDTH * 8)));
using SingleLane = float __attribute__((vector_size(LANE_WIDTH * 4)));
using BitsLane = long long __attribute__((vector_size(LANE_WIDTH * 8)));
constexpr int laneWidth = LANE_WIDTH;

inline Lane roundToSingle(Lane v) {
  return __builtin_convertvector(__builtin_convertvector(v, SingleLane), Lane);
}
inline Lane absLanes(Lane v) {
  return reinterpret_cast<Lane>(reinterpret_cast<BitsLane>(v) & 0x7fffffffffffffffLL);
}
inline Lane atanLanes(Lane v) { return SLEEF(atan, u10)(v); }
inline Lane sinLanes(Lane v) { return SLEEF(sin, u10)(v); }
inline Lane cosLanes(Lane v) { return SLEEF(cos, u10)(v); }
inline Lane sqrtLanes(Lane v) { return SLEEF(sqrt, u05)(v); }
inline double laneAt(Lane v, int lane) { return v[lane]; }
inline Lane laneIndices() {
  Lane indices{};
  for (int lane = 0; lane < laneWidth; ++lane) indices[lane] = lane;
  return indices;
}
}  // namespace

#else  // the scalar build: the lane operations of shading_formula.h itself
#define COLUMN_KERNEL_TARGET scalar
namespace {
using Lane = double;
constexpr int laneWidth = 1;
inline double laneAt(double v, int) { return v; }
inline double laneIndices() { return 0; }
}  // namespace
#endif

#include "shading_formula.h"

namespace COLUMN_KERNEL_TARGET {

void shadeColumn(int x, const FrameTerms& frame, PixelColor column[gridHeight]) {
  static_assert(gridHeight % laneWidth == 0, "a column is a whole number of lanes");
  const Lane columns = Lane{} + x;
  Lane rows = laneIndices();
  for (int y = 0; y < gridHeight; y += laneWidth, rows += laneWidth) {
    const ColorLanes<Lane> color = shadeLanes<Lane>(columns, rows, frame);
    for (int lane = 0; lane < laneWidth; ++lane) {
      column[y + lane] = {static_cast<float>(laneAt(color.red, lane)),
                          static_cast<float>(laneAt(color.green, lane)),
                          static_cast<float>(laneAt(color.blue, lane)), 1.0f};
    }
  }
}

}  // namespace COLUMN_KERNEL_TARGET
