#include "window_picture.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

#include "column_shading.h"
#include "display_color.h"
#include "frame_renderer.h"
#include "grid.h"

namespace {
// The highest frame number a search goes to: far more than any test draws.
constexpr int lastSearchedFrame = 50000;

std::uint32_t displayedPixel(const PixelColor& color) {
  return static_cast<std::uint32_t>(displayLevel(color.red)) << 16 |
         static_cast<std::uint32_t>(displayLevel(color.green)) << 8 |
         static_cast<std::uint32_t>(displayLevel(color.blue));
}

bool levelsClose(std::uint32_t a, std::uint32_t b) {
  return std::abs(redLevel(a) - redLevel(b)) <= 1 && std::abs(greenLevel(a) - greenLevel(b)) <= 1 &&
         std::abs(blueLevel(a) - blueLevel(b)) <= 1;
}

// For each window column, the last grid column drawn into it (-1 for none):
// grid x lands at window x * width / 800, truncated.
std::vector<int> sourceColumns(int width) {
  std::vector<int> source(width, -1);
  for (int x = 0; x < gridWidth; ++x) {
    const int column = x * width / gridWidth;
    if (column < width) source[column] = x;
  }
  return source;
}

// For each window row from the top, the last grid row drawn into it (-1 for
// none). With y growing downwards, grid y sits at height - y * height / 640
// counted from the bottom edge, which truncates to row ceil(y * height / 640) - 1
// from the top; grid row 0 falls just outside the window.
std::vector<int> sourceRows(int height) {
  std::vector<int> source(height, -1);
  for (int y = 0; y < gridHeight; ++y) {
    const int row = (y * height + gridHeight - 1) / gridHeight - 1;
    if (row >= 0 && row < height) source[row] = y;
  }
  return source;
}

// One window column of frame n's picture, shaded as the program shades it.
std::vector<std::uint32_t> expectedColumn(int frameNumber, int gridColumn,
                                          const std::vector<int>& rows) {
  std::vector<std::uint32_t> pixels(rows.size(), 0);
  if (gridColumn < 0) return pixels;
  PixelColor column[gridHeight];
  bestShadingTarget().shadeColumn(gridColumn, frameTerms(clockAtFrame(frameNumber)), column);
  for (size_t row = 0; row < rows.size(); ++row) {
    if (rows[row] >= 0) pixels[row] = displayedPixel(column[rows[row]]);
  }
  return pixels;
}
}  // namespace

float clockAtFrame(int frameNumber) {
  static std::vector<float> clocks{0.0f};
  while (static_cast<int>(clocks.size()) <= frameNumber) {
    clocks.push_back(nextClockValue(clocks.back()));
  }
  return clocks[frameNumber];
}

Picture expectedPicture(int frameNumber, int width, int height) {
  Picture picture{width, height, std::vector<std::uint32_t>(static_cast<size_t>(width) * height)};
  const std::vector<int> columns = sourceColumns(width);
  const std::vector<int> rows = sourceRows(height);
  for (int c = 0; c < width; ++c) {
    const std::vector<std::uint32_t> pixels = expectedColumn(frameNumber, columns[c], rows);
    for (int r = 0; r < height; ++r) picture.pixels[static_cast<size_t>(r) * width + c] = pixels[r];
  }
  return picture;
}

long mismatchedPixels(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height) return static_cast<long>(a.pixels.size());
  long mismatches = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) mismatches += !levelsClose(a.pixels[i], b.pixels[i]);
  return mismatches;
}

std::optional<int> frameShown(const Picture& grab, int first, int last) {
  // One column through the two left lobes tells frames apart cheaply; a
  // frame whose column matches is then compared whole.
  const std::vector<int> rows = sourceRows(grab.height);
  const int probeColumn = grab.width * 3 / 8;
  const int gridColumn = sourceColumns(grab.width)[probeColumn];
  for (int frame = first; frame <= last; ++frame) {
    const std::vector<std::uint32_t> expected = expectedColumn(frame, gridColumn, rows);
    bool columnMatches = true;
    for (int r = 0; r < grab.height && columnMatches; ++r) {
      columnMatches = levelsClose(pixelAt(grab, probeColumn, r), expected[r]);
    }
    if (columnMatches &&
        mismatchedPixels(grab, expectedPicture(frame, grab.width, grab.height)) == 0) {
      return frame;
    }
  }
  return std::nullopt;
}

std::optional<FrameSeen> waitForFrame(Display* display, Window window, int first,
                                      Milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    std::optional<Picture> grab = grabWindow(display, window);
    // Before its first frame the window is black, which no frame is.
    const bool allBlack = grab && std::all_of(grab->pixels.begin(), grab->pixels.end(),
                                              [](std::uint32_t p) { return p == 0; });
    if (grab && !allBlack) {
      // Frames follow one another, so a window that has not moved on yet
      // shows the frame just before the first one asked for.
      const std::optional<int> frame = frameShown(*grab, std::max(1, first - 1), lastSearchedFrame);
      if (frame && *frame >= first) return FrameSeen{*frame, std::move(*grab)};
    }
    std::this_thread::sleep_for(Milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}
