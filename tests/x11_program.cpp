#include "x11_program.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

constexpr Milliseconds pollInterval{20};

std::vector<char*> nullTerminated(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& s : strings) pointers.push_back(const_cast<char*>(s.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Starts argv with extra file actions already holding the output redirections.
ChildProcess spawnWith(const std::vector<std::string>& argv,
                       const std::vector<std::string>& environment,
                       posix_spawn_file_actions_t* actions, int stdoutFile, int stderrFile) {
  ChildProcess process;
  process.stdoutFile = stdoutFile;
  process.stderrFile = stderrFile;
  posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions, stdoutFile, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(actions, stderrFile, STDERR_FILENO);
  std::vector<char*> args = nullTerminated(argv);
  std::vector<char*> env = nullTerminated(environment);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], actions, nullptr, args.data(), env.data()) == 0) process.pid = pid;
  posix_spawn_file_actions_destroy(actions);
  return process;
}

int ignoreXError(Display*, XErrorEvent*) { return 0; }

Atom atomNamed(Display* display, const char* name) { return XInternAtom(display, name, False); }
}  // namespace

std::vector<std::string> environmentWith(const std::string& name,
                                         const std::optional<std::string>& value) {
  std::vector<std::string> environment;
  const std::string prefix = name + "=";
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, prefix.c_str(), prefix.size()) != 0) environment.push_back(*entry);
  }
  if (value) environment.push_back(prefix + *value);
  return environment;
}

ChildProcess startProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  return spawnWith(argv, environment, &actions, memfd_create("stdout", MFD_CLOEXEC),
                   memfd_create("stderr", MFD_CLOEXEC));
}

std::optional<int> waitForExit(ChildProcess& process, Milliseconds timeout) {
  if (process.waitStatus || process.pid <= 0) return process.waitStatus;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (waitpid(process.pid, &status, WNOHANG) == process.pid) {
      process.waitStatus = status;
      return status;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(Milliseconds(5));
  }
}

void stopProcess(ChildProcess& process) {
  if (process.pid > 0 && !process.waitStatus) {
    kill(process.pid, SIGKILL);
    int status = 0;
    if (waitpid(process.pid, &status, 0) == process.pid) process.waitStatus = status;
  }
  for (int* file : {&process.stdoutFile, &process.stderrFile}) {
    if (*file >= 0) close(*file);
    *file = -1;
  }
}

std::string readOutput(int file) {
  std::string text;
  char buffer[4096];
  for (off_t offset = 0;;) {
    const ssize_t n = pread(file, buffer, sizeof buffer, offset);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return text;
}

std::string describeWaitStatus(const std::optional<int>& waitStatus) {
  if (!waitStatus) return "still running";
  if (WIFEXITED(*waitStatus))
    return "exited with status " + std::to_string(WEXITSTATUS(*waitStatus));
  if (WIFSIGNALED(*waitStatus)) return "killed by signal " + std::to_string(WTERMSIG(*waitStatus));
  return "wait status " + std::to_string(*waitStatus);
}

long residentMemoryKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = -1;
      status >> kib;
      return kib;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

XvfbServer startXvfb() {
  XvfbServer server;
  int displayPipe[2];
  if (pipe2(displayPipe, O_CLOEXEC) != 0) return server;
  // The server writes its display number to fd 3 once it accepts connections.
  // It runs without the libraries the tests may preload into their own programs.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, displayPipe[1], 3);
  server.process = spawnWith(
      {"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0", "1600x1200x24", "-nolisten", "tcp"},
      environmentWith("LD_PRELOAD", std::nullopt), &actions, memfd_create("stdout", MFD_CLOEXEC),
      memfd_create("stderr", MFD_CLOEXEC));
  close(displayPipe[1]);
  std::string number;
  pollfd readable{displayPipe[0], POLLIN, 0};
  char c;
  while (server.process.pid > 0 && poll(&readable, 1, 30000) == 1 &&
         read(displayPipe[0], &c, 1) == 1 && c != '\n') {
    number += c;
  }
  close(displayPipe[0]);
  if (!number.empty()) server.display = ":" + number;
  return server;
}

void stopXvfb(XvfbServer& server) { stopProcess(server.process); }

Display* openDisplay(const char* name) {
  XSetErrorHandler(ignoreXError);
  // A server resets when its last client leaves, and turns connections away
  // until it is done; on a busy machine that can take a while.
  const Clock::time_point deadline = Clock::now() + Milliseconds(10000);
  for (;;) {
    if (Display* display = XOpenDisplay(name)) return display;
    if (Clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(Milliseconds(50));
  }
}

std::vector<Window> topLevelWindows(Display* display) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  std::vector<Window> windows;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
    windows.assign(children, children + count);
    if (children) XFree(children);
  }
  return windows;
}

std::string windowTitle(Display* display, Window window) {
  char* name = nullptr;
  std::string title;
  if (XFetchName(display, window, &name) && name) {
    title = name;
    XFree(name);
  }
  return title;
}

std::optional<Window> waitForWindow(Display* display, const std::string& title,
                                    Milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  do {
    for (Window window : topLevelWindows(display)) {
      XWindowAttributes attributes;
      if (windowTitle(display, window) == title &&
          XGetWindowAttributes(display, window, &attributes) &&
          attributes.map_state == IsViewable) {
        return window;
      }
    }
    std::this_thread::sleep_for(pollInterval);
  } while (Clock::now() < deadline);
  return std::nullopt;
}

bool waitForNoWindows(Display* display, Milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!topLevelWindows(display).empty()) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pollInterval);
  }
  return true;
}

std::optional<WindowGeometry> windowGeometry(Display* display, Window window) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return std::nullopt;
  return WindowGeometry{attributes.x, attributes.y, attributes.width, attributes.height};
}

bool waitForWindowSize(Display* display, Window window, int width, int height,
                       Milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    const std::optional<WindowGeometry> geometry = windowGeometry(display, window);
    if (geometry && geometry->width == width && geometry->height == height) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(pollInterval);
  }
}

std::optional<Picture> grabWindow(Display* display, Window window) {
  const std::optional<WindowGeometry> geometry = windowGeometry(display, window);
  if (!geometry) return std::nullopt;
  XImage* image =
      XGetImage(display, window, 0, 0, geometry->width, geometry->height, AllPlanes, ZPixmap);
  if (!image) return std::nullopt;
  Picture picture{image->width, image->height, {}};
  picture.pixels.reserve(static_cast<size_t>(image->width) * image->height);
  // Each channel's mask, shifted down to 8 bits.
  auto level = [](unsigned long pixel, unsigned long mask) {
    const int shift = __builtin_ctzl(mask);
    return static_cast<std::uint32_t>(((pixel & mask) >> shift) * 255 / (mask >> shift));
  };
  for (int row = 0; row < image->height; ++row) {
    for (int column = 0; column < image->width; ++column) {
      const unsigned long pixel = XGetPixel(image, column, row);
      picture.pixels.push_back(level(pixel, image->red_mask) << 16 |
                               level(pixel, image->green_mask) << 8 |
                               level(pixel, image->blue_mask));
    }
  }
  XDestroyImage(image);
  return picture;
}

void sendCloseRequest(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = atomNamed(display, "WM_PROTOCOLS");
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(atomNamed(display, "WM_DELETE_WINDOW"));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

void requestExpose(Display* display, Window window) {
  XClearArea(display, window, 0, 0, 0, 0, True);
  XFlush(display);
}
