#pragma once

// What the program's window should show: the picture a given frame leaves in
// a window of a given size, and which frame a grabbed picture shows.

#include <optional>

#include "x11_program.h"

// The clock value frame n draws with; frame 1 is the first the program draws.
float clockAtFrame(int frameNumber);

// The picture frame n leaves in a width x height window. The 800 x 640 grid is
// projected onto the window and each point covers the pixel its window
// coordinates truncate to; where points share a pixel the last drawn wins, and
// pixels no point reaches keep the clear colour, black.
Picture expectedPicture(int frameNumber, int width, int height);

// Pixels where the two pictures (of one size) differ by more than one level in
// any channel: the GL's conversion to 8 bits may round either way.
long mismatchedPixels(const Picture& a, const Picture& b);

// The first frame from first to last whose whole picture the grab shows.
std::optional<int> frameShown(const Picture& grab, int first, int last);

struct FrameSeen {
  int frame = 0;
  Picture picture;
};

// Grabs the window until it shows a whole frame numbered first or later,
// given that it showed frame first - 1 or later before.
std::optional<FrameSeen> waitForFrame(Display* display, Window window, int first,
                                      Milliseconds timeout);
