#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "display_color.h"
#include "frame_renderer.h"
#include "grid.h"
#include "pixel_shading.h"
#include "view.h"

// Xlib last: its macros (None, Bool) would clash with the test framework.
#include <GL/glx.h>
#include <X11/Xutil.h>

namespace {

// A window set up as the program sets up its own, so renderFrame draws into
// a real GL context; the frames are read back from the window.
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

struct Rgb {
  int red, green, blue;
};

// The frame as the X server shows it in the window, row 0 at the top.
std::vector<Rgb> readWindow() {
  glFinish();
  Display* display = glXGetCurrentDisplay();
  XImage* image =
      XGetImage(display, glXGetCurrentDrawable(), 0, 0, gridWidth, gridHeight, AllPlanes, ZPixmap);
  std::vector<Rgb> frame(gridWidth * gridHeight);
  for (int row = 0; row < gridHeight; ++row) {
    for (int column = 0; column < gridWidth; ++column) {
      const unsigned long pixel = XGetPixel(image, column, row);
      frame[row * gridWidth + column] = {int(pixel >> 16 & 0xff), int(pixel >> 8 & 0xff),
                                         int(pixel & 0xff)};
    }
  }
  XDestroyImage(image);
  return frame;
}

// Checks a drawn frame against the formula at the clock it was drawn with.
// The GL truncates window coordinates: grid point (x, y) lands in column x
// and in row y - 1 from the top, so grid row 0 falls outside the window and
// the bottom row keeps the clear colour. llvmpipe's colour path does not
// always round to the nearest level, so a component may be one level off;
// any other placement of the grid puts most pixels further off than that.
void expectFrameShows(float t) {
  const std::vector<Rgb> frame = readWindow();
  int wrong = 0;
  for (int row = 0; row < gridHeight - 1; ++row) {
    for (int column = 0; column < gridWidth; ++column) {
      const PixelColor color = shadePixel(column, row + 1, t);
      const Rgb& shown = frame[row * gridWidth + column];
      const bool close = std::abs(shown.red - displayLevel(color.red)) <= 1 &&
                         std::abs(shown.green - displayLevel(color.green)) <= 1 &&
                         std::abs(shown.blue - displayLevel(color.blue)) <= 1;
      if (!close && ++wrong <= 5) {
        ADD_FAILURE() << "window (" << column << ", " << row << ") shows " << shown.red << " "
                      << shown.green << " " << shown.blue << " for " << color.red << " "
                      << color.green << " " << color.blue;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  for (int column = 0; column < gridWidth; ++column) {
    const Rgb& bottom = frame[(gridHeight - 1) * gridWidth + column];
    ASSERT_TRUE(bottom.red == 0 && bottom.green == 0 && bottom.blue == 0)
        << "bottom row, column " << column;
  }
}

TEST(FramePass, EachFrameAdvancesTheClockAndShowsTheFormula) {
  openWindow();
  ASSERT_EQ(animTime, 0.0f);

  renderFrame();
  ASSERT_EQ(animTime, 0.1f);
  expectFrameShows(animTime);

  renderFrame();
  ASSERT_EQ(animTime, nextClockValue(0.1f));
  expectFrameShows(animTime);
}

// The centre row's colour is NaN; it is drawn black, not as a bright line.
TEST(FramePass, CentreRowIsBlack) {
  renderFrame();
  const std::vector<Rgb> frame = readWindow();
  const int centreRow = gridHeight / 2 - 1;
  for (int column = 0; column < gridWidth; ++column) {
    const Rgb& shown = frame[centreRow * gridWidth + column];
    ASSERT_TRUE(shown.red == 0 && shown.green == 0 && shown.blue == 0) << "column " << column;
  }
}

}  // namespace
