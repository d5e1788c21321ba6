// The real program in a real window, as a user meets it: started as a child
// process on the private X server the test runs under, looked at and closed
// through the X protocol.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <thread>

#include "grid.h"
#include "window_picture.h"
#include "x11_program.h"

namespace {
// Generous waits: on a loaded machine under the software GL, and under the
// sanitizers, start-up can take many seconds.
constexpr Milliseconds windowTimeout{60000};
constexpr Milliseconds frameTimeout{60000};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display = openDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "no X server at DISPLAY";
    // Windows of an earlier test's program go once the server sees it gone.
    ASSERT_TRUE(waitForNoWindows(display, Milliseconds(10000)));
    program = startProcess({HALOCYNE_BINARY}, environmentWith("DISPLAY", DisplayString(display)));
    ASSERT_GT(program.pid, 0);
    const std::optional<Window> found = waitForWindow(display, "Halocyne", windowTimeout);
    ASSERT_TRUE(found) << "no window titled Halocyne; the program "
                       << describeWaitStatus(waitForExit(program, Milliseconds(0)));
    window = *found;
  }

  void TearDown() override {
    stopProcess(program);
    if (display) XCloseDisplay(display);
  }

  Display* display = nullptr;
  ChildProcess program;
  Window window = 0;
};

TEST_F(ProgramTest, OpensOneWindowTitledHalocyneAt800x640At500x300) {
  const std::optional<WindowGeometry> geometry = windowGeometry(display, window);
  ASSERT_TRUE(geometry);
  EXPECT_EQ(geometry->x, 500);
  EXPECT_EQ(geometry->y, 300);
  EXPECT_EQ(geometry->width, gridWidth);
  EXPECT_EQ(geometry->height, gridHeight);

  // Watched for a few seconds of animation: still the only top-level window
  // on the server, under the same title.
  const auto end = std::chrono::steady_clock::now() + Milliseconds(4000);
  int looks = 0;
  while (std::chrono::steady_clock::now() < end) {
    const std::vector<Window> windows = topLevelWindows(display);
    ASSERT_EQ(windows.size(), 1u) << "after " << looks << " looks";
    ASSERT_EQ(windows[0], window);
    ASSERT_EQ(windowTitle(display, window), "Halocyne");
    ++looks;
    std::this_thread::sleep_for(Milliseconds(100));
  }
  EXPECT_EQ(waitForExit(program, Milliseconds(0)), std::nullopt);
}

// Every pixel of the window is that of the frame the program has drawn: grid
// point (x, y) in window column x, row y - 1, and the bottom row black.
TEST_F(ProgramTest, ShowsTheGridPointsOfAFrameAtTheirPixels) {
  const std::optional<FrameSeen> seen = waitForFrame(display, window, 1, frameTimeout);
  ASSERT_TRUE(seen) << "no grab showed a whole frame";
  EXPECT_EQ(seen->picture.width, gridWidth);
  EXPECT_EQ(seen->picture.height, gridHeight);
}

// A point and its reflection through the grid's centre, (x, y) and
// (800 - x, 640 - y), share their colour: on screen (c, r) and (800 - c, 638 - r).
// Checked within one grab, since two grabs need not show the same frame.
TEST_F(ProgramTest, PictureIsPointSymmetricAndHasNoRed) {
  ASSERT_TRUE(waitForFrame(display, window, 1, frameTimeout));
  // On a busy machine a grab can show a torn frame, which stays up until the
  // next one is presented: a few grabs, a frame or more apart, are allowed.
  // A picture that is not symmetric fails every one of them.
  long asymmetricPixels = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(Milliseconds(250));
    const std::optional<Picture> grab = grabWindow(display, window);
    ASSERT_TRUE(grab);
    long redPixels = 0, nonBlack = 0;
    asymmetricPixels = 0;
    for (int r = 0; r < gridHeight; ++r) {
      for (int c = 0; c < gridWidth; ++c) {
        redPixels += redLevel(pixelAt(*grab, c, r)) != 0;
        nonBlack += pixelAt(*grab, c, r) != 0;
        if (c >= 1 && r <= gridHeight - 2) {
          asymmetricPixels += pixelAt(*grab, c, r) != pixelAt(*grab, gridWidth - c, 638 - r);
        }
      }
    }
    ASSERT_EQ(redPixels, 0);
    ASSERT_GT(nonBlack, 0);
    if (asymmetricPixels == 0) break;
  }
  EXPECT_EQ(asymmetricPixels, 0);
}

TEST_F(ProgramTest, PictureChangesBetweenTwoLooks) {
  const std::optional<FrameSeen> first = waitForFrame(display, window, 1, frameTimeout);
  ASSERT_TRUE(first);
  std::this_thread::sleep_for(Milliseconds(1000));
  const std::optional<FrameSeen> second =
      waitForFrame(display, window, first->frame + 1, frameTimeout);
  ASSERT_TRUE(second) << "no later frame than " << first->frame;
  EXPECT_GT(mismatchedPixels(first->picture, second->picture), gridWidth * gridHeight / 100);
}

// The viewport follows the window and the whole grid is drawn into it: at
// 400 x 320 pixel (c, r) shows grid point (2c + 1, 2r + 2), the last of the
// four points that share it.
TEST_F(ProgramTest, ResizedWindowShowsThePictureScaledToIt) {
  const std::optional<FrameSeen> big = waitForFrame(display, window, 1, frameTimeout);
  ASSERT_TRUE(big);
  XResizeWindow(display, window, gridWidth / 2, gridHeight / 2);
  XFlush(display);
  ASSERT_TRUE(waitForWindowSize(display, window, gridWidth / 2, gridHeight / 2, windowTimeout));
  const std::optional<FrameSeen> small = waitForFrame(display, window, big->frame, frameTimeout);
  ASSERT_TRUE(small) << "no grab at 400 x 320 showed a whole frame";
  EXPECT_EQ(small->picture.width, gridWidth / 2);
  EXPECT_EQ(small->picture.height, gridHeight / 2);
}

TEST_F(ProgramTest, CloseRequestEndsItWithStatus0WithinASecond) {
  ASSERT_TRUE(waitForFrame(display, window, 1, frameTimeout));
  sendCloseRequest(display, window);
  const std::optional<int> status = waitForExit(program, Milliseconds(1000));
  ASSERT_TRUE(status) << "still running a second after the close request";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeWaitStatus(status) << "\n"
                                                               << readOutput(program.stderrFile);
}

// Without a display the toolkit reports it and exits; the program adds nothing.
class NoDisplayTest : public ::testing::TestWithParam<std::optional<std::string>> {};

TEST_P(NoDisplayTest, ToolkitReportsItAndTheProgramExitsNonZero) {
  ChildProcess program = startProcess({HALOCYNE_BINARY}, environmentWith("DISPLAY", GetParam()));
  ASSERT_GT(program.pid, 0);
  const std::optional<int> status = waitForExit(program, Milliseconds(30000));
  const std::string out = readOutput(program.stdoutFile);
  const std::string err = readOutput(program.stderrFile);
  stopProcess(program);
  ASSERT_TRUE(status) << "still running without a display";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << describeWaitStatus(status);
  EXPECT_NE(err.find("failed to open display"), std::string::npos) << err;
  EXPECT_EQ(out, "");
}

INSTANTIATE_TEST_SUITE_P(UnreachableOrUnset, NoDisplayTest,
                         ::testing::Values(std::optional<std::string>(":9999"), std::nullopt),
                         [](const ::testing::TestParamInfo<std::optional<std::string>>& info) {
                           return info.param ? "UnreachableDisplay" : "DisplayUnset";
                         });
}  // namespace
