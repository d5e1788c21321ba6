#include "pixel_shading.h"

#include "shading_formula.h"

PixelColor shadePixel(int x, int y, float t) {
  const ColorLanes<double> color = shadeLanes<double>(x, y, frameTerms(t));
  return {static_cast<float>(color.red), static_cast<float>(color.green),
          static_cast<float>(color.blue), 1.0f};
}
