#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "column_shading.h"
#include "display_color.h"
#include "grid.h"
#include "pixel_shading.h"

namespace {

struct ClockCase {
  const char* name;
  float t;
};

// The first frame, a few later frames (frame 106 has points exactly on the
// outline, shown as infinities), and clock values past 2^17, where the step
// has drifted and the ripple's argument is large.
const ClockCase clockCases[] = {
    {"FirstFrame", static_cast<float>(0.0 + 0.1)},
    {"Frame30", 2.99999928f},
    {"Frame106OnTheOutline", 10.6000042f},
    {"Frame1000", 99.9990463f},
    {"Frame100000", 9998.55664f},
    {"Past2To17", 131072.1f},
    {"Past2To19", 600000.1f},
    {"Frozen", 2097152.0f},
};

class VectorShading : public ::testing::TestWithParam<std::tuple<const ShadingTarget*, ClockCase>> {
};

// Each target's column shader shows the same picture as shadePixel: the same
// value class in every component, and the same 8-bit level but for at most one
// level on at most 1 point in 100,000 (the vector math library's last bits).
TEST_P(VectorShading, ShowsTheSamePictureAsTheScalarFormula) {
  const ShadingTarget& target = *std::get<0>(GetParam());
  const float t = std::get<1>(GetParam()).t;
  if (!target.isSupported()) GTEST_SKIP() << target.name << " is not supported by this CPU";

  const FrameTerms frame = frameTerms(t);
  PixelColor column[gridHeight];
  int offByOne = 0;
  for (int x = 0; x < gridWidth; ++x) {
    target.shadeColumn(x, frame, column);
    for (int y = 0; y < gridHeight; ++y) {
      const PixelColor expected = shadePixel(x, y, t);
      const float vectorComponents[] = {column[y].red, column[y].green, column[y].blue,
                                        column[y].alpha};
      const float scalarComponents[] = {expected.red, expected.green, expected.blue,
                                        expected.alpha};
      for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(valueClass(vectorComponents[c]), valueClass(scalarComponents[c]))
            << "component " << c << " at (" << x << ", " << y << ")";
        const int difference =
            std::abs(displayLevel(vectorComponents[c]) - displayLevel(scalarComponents[c]));
        ASSERT_LE(difference, 1) << "component " << c << " at (" << x << ", " << y << ")";
        offByOne += difference;
      }
    }
  }
  EXPECT_LE(offByOne, gridWidth * gridHeight / 100000);
}

std::vector<const ShadingTarget*> allTargets() {
  std::vector<const ShadingTarget*> targets;
  for (int i = 0; i < shadingTargetCount; ++i) targets.push_back(&shadingTargets[i]);
  return targets;
}

INSTANTIATE_TEST_SUITE_P(AllTargets, VectorShading,
                         ::testing::Combine(::testing::ValuesIn(allTargets()),
                                            ::testing::ValuesIn(clockCases)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)->name) + "_" +
                                  std::get<1>(info.param).name;
                         });

TEST(ShadingTargets, ScalarComesLastAndTheBestIsSupported) {
  EXPECT_STREQ(shadingTargets[shadingTargetCount - 1].name, "scalar");
  EXPECT_TRUE(bestShadingTarget().isSupported());
  for (int i = 0; i < shadingTargetCount; ++i) {
    if (shadingTargets[i].isSupported()) {
      EXPECT_EQ(&bestShadingTarget(), &shadingTargets[i]) << "the widest supported target wins";
      break;
    }
  }
}

}  // namespace
