#include <gtest/gtest.h>

#include <cmath>

#include "display_color.h"
#include "grid.h"
#include "pixel_shading.h"

namespace {

const float firstFrame = static_cast<float>(0.0 + 0.1);
const float laterClocks[] = {firstFrame, 7.3f, 123.4f, 4000.1f, 131072.1f};

// Equal, or both NaN.
bool sameValue(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

bool sameColor(const PixelColor& a, const PixelColor& b) {
  return sameValue(a.red, b.red) && sameValue(a.green, b.green) && sameValue(a.blue, b.blue) &&
         sameValue(a.alpha, b.alpha);
}

TEST(ShadePixel, HorizontalCentreRowIsNaNWithOpaqueAlpha) {
  for (float t : laterClocks) {
    for (int x : {0, 1, 200, 399, 401, 650, 799}) {
      const PixelColor color = shadePixel(x, gridHeight / 2, t);
      EXPECT_TRUE(std::isnan(color.red) && std::isnan(color.green) && std::isnan(color.blue))
          << "x " << x << " t " << t;
      EXPECT_EQ(color.alpha, 1.0f);
    }
  }
}

TEST(ShadePixel, CentrePointIsNaN) {
  const PixelColor color = shadePixel(gridWidth / 2, gridHeight / 2, firstFrame);
  EXPECT_TRUE(std::isnan(color.red) && std::isnan(color.green) && std::isnan(color.blue));
  EXPECT_EQ(color.alpha, 1.0f);
}

TEST(ShadePixel, VerticalCentreColumnIsBlackForAllPracticalPurposes) {
  const float farBelowOneLevel = 0.01f / 255;
  for (float t : laterClocks) {
    for (int y = 0; y < gridHeight; ++y) {
      if (y == gridHeight / 2) continue;
      const PixelColor color = shadePixel(gridWidth / 2, y, t);
      EXPECT_EQ(color.red, 0.0f) << "y " << y;
      EXPECT_TRUE(color.green >= 0 && color.green < farBelowOneLevel)
          << "y " << y << " " << color.green;
      EXPECT_TRUE(color.blue >= 0 && color.blue < farBelowOneLevel)
          << "y " << y << " " << color.blue;
    }
  }
}

TEST(ShadePixel, FirstFrameTopLeftCorner) {
  const PixelColor color = shadePixel(0, 0, firstFrame);
  EXPECT_EQ(color.red, 0.0f);
  EXPECT_GT(color.green, 0.07f);
  EXPECT_LT(color.green, 0.08f);
  EXPECT_GT(color.blue, 0.85f);
  EXPECT_LT(color.blue, 0.86f);
  EXPECT_EQ(color.alpha, 1.0f);
}

TEST(ShadePixel, FirstFrameWorkedExampleToTwoSignificantDigits) {
  const PixelColor color = shadePixel(600, 100, firstFrame);
  EXPECT_EQ(color.red, 0.0f);
  EXPECT_NEAR(color.green, 0.54f, 0.005f);
  EXPECT_NEAR(color.blue, 6.0f, 0.05f);
  EXPECT_EQ(color.alpha, 1.0f);
}

TEST(ShadePixel, BlueIsElevenPointOneTimesGreen) {
  for (int x = 3; x < gridWidth; x += 37) {
    for (int y = 5; y < gridHeight; y += 41) {
      const PixelColor color = shadePixel(x, y, firstFrame);
      if (!std::isfinite(color.green) || color.green == 0) continue;
      EXPECT_NEAR(color.blue / color.green, 11.1f, 1e-4f) << x << "," << y;
    }
  }
}

// At frame 106 this point lies exactly on the outline in single precision:
// the pulsed distance is 0, so green and blue are +infinity and red is 0/0.
TEST(ShadePixel, ExactlyOnTheOutlineIsInfinitelyBright) {
  const float frame106 = 10.6000042f;
  for (const PixelColor& color : {shadePixel(237, 146, frame106), shadePixel(563, 494, frame106)}) {
    EXPECT_TRUE(std::isnan(color.red));
    EXPECT_EQ(color.green, INFINITY);
    EXPECT_EQ(color.blue, INFINITY);
    EXPECT_EQ(color.alpha, 1.0f);
  }
}

// A point and its reflection through the centre share the doubled angle, so
// they get the same colour across the whole grid. On the vertical centre
// column the angle flips between +pi and -pi, which moves the last bits of a
// colour that is black either way.
TEST(ShadePixel, PointSymmetricThroughTheCentre) {
  for (float t : laterClocks) {
    int mismatches = 0;
    for (int x = 1; x < gridWidth; ++x) {
      for (int y = 1; y < gridHeight; ++y) {
        const PixelColor color = shadePixel(x, y, t);
        const PixelColor reflected = shadePixel(gridWidth - x, gridHeight - y, t);
        mismatches += x == gridWidth / 2
                          ? displayLevel(color.blue) + displayLevel(reflected.blue) != 0
                          : !sameColor(color, reflected);
      }
    }
    EXPECT_EQ(mismatches, 0) << "t " << t;
  }
}

// The ripple is not symmetric in the angle, so mirroring across the vertical
// centre line changes the colour of many points.
TEST(ShadePixel, NotMirrorSymmetricAcrossTheVerticalCentreLine) {
  int differing = 0, compared = 0;
  for (int x = 1; x < gridWidth / 2; x += 3) {
    for (int y = 1; y < gridHeight; y += 3) {
      if (y == gridHeight / 2) continue;
      const PixelColor left = shadePixel(x, y, firstFrame);
      const PixelColor right = shadePixel(gridWidth - x, y, firstFrame);
      ++compared;
      differing += std::fabs(left.blue - right.blue) > 1e-3f * std::fabs(left.blue);
    }
  }
  EXPECT_GT(differing, compared / 2);
}

}  // namespace
