#include "column_shading.h"

// Each namespace's shadeColumn is the same kernel compiled for one target.
#define DECLARE_COLUMN_KERNEL(target)                                              \
  namespace target {                                                               \
  void shadeColumn(int x, const FrameTerms& frame, PixelColor column[gridHeight]); \
  }

DECLARE_COLUMN_KERNEL(scalar)

namespace {
bool runsAnywhere() { return true; }
}  // namespace

#if defined(HALOCYNE_X86_KERNELS)
DECLARE_COLUMN_KERNEL(avx512)
DECLARE_COLUMN_KERNEL(avx2)
DECLARE_COLUMN_KERNEL(sse2)

namespace {
bool hasAvx512() { return __builtin_cpu_supports("avx512f"); }
bool hasAvx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
}  // namespace
#endif

const ShadingTarget shadingTargets[] = {
#if defined(HALOCYNE_X86_KERNELS)
    {"avx512", hasAvx512, avx512::shadeColumn},
    {"avx2", hasAvx2, avx2::shadeColumn},
    {"sse2", runsAnywhere, sse2::shadeColumn},
#endif
    {"scalar", runsAnywhere, scalar::shadeColumn},
};
const int shadingTargetCount = sizeof shadingTargets / sizeof shadingTargets[0];

const ShadingTarget& bestShadingTarget() {
  for (const ShadingTarget& target : shadingTargets) {
    if (target.isSupported()) return target;
  }
  return shadingTargets[shadingTargetCount - 1];
}
