#pragma once

// Running the real program in a real X session: starting processes and
// private X servers, finding top-level windows, grabbing their contents and
// asking them to close the way a window manager does.

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Milliseconds = std::chrono::milliseconds;

// A process started by the tests. Its stdout and stderr go to two anonymous
// files, so a chatty process never blocks on a full pipe.
struct ChildProcess {
  pid_t pid = -1;
  int stdoutFile = -1;
  int stderrFile = -1;
  std::optional<int> waitStatus;  // set once it has been reaped
};

// This process's environment with NAME set to value, or removed when value is empty.
std::vector<std::string> environmentWith(const std::string& name,
                                         const std::optional<std::string>& value);

// Starts argv[0], an executable's path, with stdin from /dev/null. Returns a
// process with pid -1 when it cannot be started.
ChildProcess startProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment);

// Waits up to timeout for the process to end; its wait status, or nothing while it still runs.
std::optional<int> waitForExit(ChildProcess& process, Milliseconds timeout);

// Kills the process if it still runs, reaps it and closes its output files.
void stopProcess(ChildProcess& process);

// Everything written so far to one of a process's output files.
std::string readOutput(int file);

// "exited with status N", "killed by signal N" or "still running".
std::string describeWaitStatus(const std::optional<int>& waitStatus);

// Resident memory of a running process in KiB (VmRSS), or -1 when unknown.
long residentMemoryKiB(pid_t pid);

// A private Xvfb server, 1600x1200x24, on a display number it picks itself.
struct XvfbServer {
  ChildProcess process;
  std::string display;  // ":N", empty when the server did not start
};

XvfbServer startXvfb();
void stopXvfb(XvfbServer& server);

// Opens a connection, retrying for a few seconds, on which X protocol errors
// (a window that went away while it was being looked at) are ignored instead
// of ending the process: the request that met one simply returns a failure.
Display* openDisplay(const char* name);

// Children of the root window: every top-level window, mapped or not.
std::vector<Window> topLevelWindows(Display* display);

// The window's WM_NAME, empty when it has none.
std::string windowTitle(Display* display, Window window);

// Waits up to timeout for a viewable top-level window with this title.
std::optional<Window> waitForWindow(Display* display, const std::string& title,
                                    Milliseconds timeout);

// Waits up to timeout until the display has no top-level windows left.
bool waitForNoWindows(Display* display, Milliseconds timeout);

struct WindowGeometry {
  int x = 0, y = 0, width = 0, height = 0;  // x and y relative to the root
};

std::optional<WindowGeometry> windowGeometry(Display* display, Window window);

// Waits up to timeout until the window is width x height.
bool waitForWindowSize(Display* display, Window window, int width, int height,
                       Milliseconds timeout);

// A window's contents, row by row from the top, each pixel 0xRRGGBB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

inline std::uint32_t pixelAt(const Picture& picture, int column, int row) {
  return picture.pixels[static_cast<size_t>(row) * picture.width + column];
}
inline int redLevel(std::uint32_t pixel) { return (pixel >> 16) & 0xff; }
inline int greenLevel(std::uint32_t pixel) { return (pixel >> 8) & 0xff; }
inline int blueLevel(std::uint32_t pixel) { return pixel & 0xff; }

// The window's current contents, or nothing when it cannot be read.
std::optional<Picture> grabWindow(Display* display, Window window);

// A window manager's close request: WM_PROTOCOLS carrying WM_DELETE_WINDOW.
void sendCloseRequest(Display* display, Window window);

// Asks the server to repaint the whole window: an Expose event for its owner.
void requestExpose(Display* display, Window window);
