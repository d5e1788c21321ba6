#include "frame_renderer.h"

#include <GL/glut.h>

#include <cmath>

#include "column_shading.h"
#include "grid.h"

float animTime = 0.0f;

namespace {
// Chosen once, at start-up, by what the running CPU supports.
const ColumnShader shadeColumn = bestShadingTarget().shadeColumn;

// GPUs turn a NaN colour component into 0, while Mesa's software rasteriser
// draws it at full intensity; passing 0 gives every GL the same picture.
float nanAsZero(float component) { return std::isnan(component) ? 0.0f : component; }
}  // namespace

float nextClockValue(float t) { return static_cast<float>(t + 0.1); }

void renderFrame() {
  animTime = nextClockValue(animTime);
  const FrameTerms frame = frameTerms(animTime);
  PixelColor column[gridHeight];

  glClear(GL_COLOR_BUFFER_BIT);
  glBegin(GL_POINTS);
  for (int x = 0; x < gridWidth; ++x) {
    shadeColumn(x, frame, column);
    for (int y = 0; y < gridHeight; ++y) {
      const PixelColor& color = column[y];
      glColor4f(nanAsZero(color.red), nanAsZero(color.green), nanAsZero(color.blue), color.alpha);
      glVertex2i(x, y);
    }
  }
  glEnd();
  glutSwapBuffers();
}
