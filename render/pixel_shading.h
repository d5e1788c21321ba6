#pragma once

// Colour of one grid point, in the order and form glColor4f takes it.
// Components are not clamped and may be infinite or NaN.
struct PixelColor {
  float red, green, blue, alpha;
};

// Colour of grid point (x, y) when the animation clock reads t.
PixelColor shadePixel(int x, int y, float t);
