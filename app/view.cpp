#include "view.h"

#include <GL/glu.h>

#include "grid.h"

void initView() {
  glClearColor(0, 0, 0, 0);
  glPointSize(1.0);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // y grows downwards: bottom is the grid's height, top is 0.
  gluOrtho2D(0, gridWidth, gridHeight, 0);
}
