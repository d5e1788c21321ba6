#include <GL/glut.h>

#include "frame_renderer.h"
#include "grid.h"
#include "view.h"

int main(int argc, char** argv) {
  // The toolkit takes its own options (-display, -geometry, ...) from the command line.
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
  glutInitWindowSize(gridWidth, gridHeight);
  glutInitWindowPosition(500, 300);
  glutCreateWindow("Halocyne");
  glutDisplayFunc(renderFrame);
  initView();
  // The same callback when idle, so frames are drawn back to back.
  glutIdleFunc(renderFrame);
  // Closing the window ends the process from inside the loop.
  glutMainLoop();
  return 0;
}
