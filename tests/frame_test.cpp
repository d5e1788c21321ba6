#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>

#include "frame_renderer.h"
#include "grid.h"
#include "view.h"
#include "window_picture.h"

// After the test framework: Xlib's macros (None, Bool) would clash with it.
#include <GL/glx.h>

namespace {

// A window set up as the program sets up its own, so renderFrame draws into
// a real GL context; the frames are read back from the window and compared
// with the picture the frame should leave there.
void openWindow() {
  int argc = 1;
  char name[] = "frame_test";
  char* argv[] = {name, nullptr};
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
  glutInitWindowSize(gridWidth, gridHeight);
  // Wholly on screen, so that the X server can read the window back.
  glutInitWindowPosition(500, 300);
  glutCreateWindow("frame_test");
  glutDisplayFunc([] {});
  initView();
  // Let the window be mapped before anything is drawn into it.
  Display* display = glXGetCurrentDisplay();
  XWindowAttributes attributes{};
  for (int wait = 0; wait < 500 && attributes.map_state != IsViewable; ++wait) {
    glutMainLoopEvent();
    XGetWindowAttributes(display, glXGetCurrentDrawable(), &attributes);
    usleep(10000);
  }
  ASSERT_EQ(attributes.map_state, IsViewable);
}

// The frame the window shows, read back through the X server.
Picture shownFrame() {
  glFinish();
  const std::optional<Picture> grab = grabWindow(glXGetCurrentDisplay(), glXGetCurrentDrawable());
  EXPECT_TRUE(grab) << "the window could not be read back";
  return grab ? *grab : Picture{};
}

// Each call advances the clock by one step and leaves the whole frame in the
// window: grid point (x, y) in column x, row y - 1, the bottom row black, each
// component within the one level the GL's rounding may differ by.
TEST(FramePass, EachFrameAdvancesTheClockAndShowsTheFormula) {
  openWindow();
  ASSERT_EQ(animTime, 0.0f);
  for (int frame = 1; frame <= 2; ++frame) {
    renderFrame();
    ASSERT_EQ(animTime, clockAtFrame(frame));
    EXPECT_EQ(mismatchedPixels(shownFrame(), expectedPicture(frame, gridWidth, gridHeight)), 0)
        << "frame " << frame;
  }
}

// The centre row's colour is NaN; it is drawn black, not as a bright line.
TEST(FramePass, CentreRowIsBlack) {
  renderFrame();
  const Picture shown = shownFrame();
  ASSERT_EQ(shown.width, gridWidth);
  const int centreRow = gridHeight / 2 - 1;
  for (int column = 0; column < gridWidth; ++column) {
    ASSERT_EQ(pixelAt(shown, column, centreRow), 0u) << "column " << column;
  }
}

}  // namespace
