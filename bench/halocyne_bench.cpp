// Measures, in one run, what a frame costs: shading the whole grid with the
// scalar shadePixel and with each column shader this CPU supports, and the
// frame pass in a real window beside the bare GL submission of the same points.
// Ends with a summary of the speed-ups and of the frame pass's share of the
// GL frame rate. Needs a display (scripts/bench.sh starts a private one).
#include <GL/freeglut.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "column_shading.h"
#include "frame_renderer.h"
#include "grid.h"
#include "pixel_shading.h"
#include "view.h"

namespace {

constexpr double pointsPerFrame = double{gridWidth} * gridHeight;

const std::string scalarLoopName = "shading/shadePixel";
const std::string shadingPrefix = "shading/";
const std::string framesName = "frame/renderFrame_vs_glFloor";

using Clock = std::chrono::steady_clock;

// Time per point and per frame, and frames per second, over the whole loop
// of a benchmark that shades or draws one whole frame per iteration.
void setFrameCounters(benchmark::State& state, Clock::time_point start) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double frames = static_cast<double>(state.iterations());
  state.counters["ns_per_point"] = seconds / frames / pointsPerFrame * 1e9;
  state.counters["ms_per_frame"] = seconds / frames * 1e3;
  state.counters["fps"] = frames / seconds;
}

// The reference: the scalar formula, one shadePixel call per point.
void shadeGridScalar(benchmark::State& state) {
  float t = 0;
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    t = nextClockValue(t);
    for (int x = 0; x < gridWidth; ++x) {
      for (int y = 0; y < gridHeight; ++y) {
        PixelColor color = shadePixel(x, y, t);
        benchmark::DoNotOptimize(color);
      }
    }
  }
  setFrameCounters(state, start);
}

// One target's column shader over the whole grid, frame terms once per frame.
void shadeGridColumns(benchmark::State& state, const ShadingTarget* target) {
  float t = 0;
  PixelColor column[gridHeight];
  const Clock::time_point start = Clock::now();
  for (auto _ : state) {
    t = nextClockValue(t);
    const FrameTerms frame = frameTerms(t);
    for (int x = 0; x < gridWidth; ++x) {
      target->shadeColumn(x, frame, column);
      benchmark::DoNotOptimize(column);
    }
  }
  setFrameCounters(state, start);
}

// The same GL calls as a frame of the program, with one constant colour and
// no shading: the least a frame of 512,000 immediate-mode points costs here.
void drawGlFloorFrame() {
  glClear(GL_COLOR_BUFFER_BIT);
  glBegin(GL_POINTS);
  for (int x = 0; x < gridWidth; ++x) {
    for (int y = 0; y < gridHeight; ++y) {
      glColor4f(0.0f, 0.2f, 1.0f, 1.0f);
      glVertex2i(x, y);
    }
  }
  glEnd();
  glutSwapBuffers();
}

// Wall time of one frame, after the window's pending events, as the
// program's main loop handles them before each frame.
double secondsForFrame(void (*drawFrame)()) {
  glutMainLoopEvent();
  const Clock::time_point start = Clock::now();
  drawFrame();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The program's frame pass (renderFrame: clock step, shading with the best
// target, every point to GL, swap) and the GL floor, one frame of each in
// turn, so that whatever else the machine runs slows both alike.
void framePassBesideGlFloor(benchmark::State& state) {
  double passSeconds = 0;
  double floorSeconds = 0;
  bool passFirst = true;
  for (auto _ : state) {
    if (passFirst) passSeconds += secondsForFrame(renderFrame);
    floorSeconds += secondsForFrame(drawGlFloorFrame);
    if (!passFirst) passSeconds += secondsForFrame(renderFrame);
    passFirst = !passFirst;
  }
  const double frames = static_cast<double>(state.iterations());
  state.counters["renderFrame_ms"] = passSeconds / frames * 1e3;
  state.counters["renderFrame_fps"] = frames / passSeconds;
  state.counters["glFloor_ms"] = floorSeconds / frames * 1e3;
  state.counters["glFloor_fps"] = frames / floorSeconds;
  state.counters["fps_ratio_%"] = floorSeconds / passSeconds * 100;
  state.SetLabel(std::string("renderFrame shades with ") + bestShadingTarget().name);
}

bool windowExposed = false;
void noteExposed() { windowExposed = true; }

// The program's window, set up as main does, shown before anything is timed.
bool openProgramWindow(int* argc, char** argv) {
  glutInit(argc, argv);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA);
  glutInitWindowSize(gridWidth, gridHeight);
  glutInitWindowPosition(500, 300);
  glutCreateWindow("Halocyne");
  // Frames are drawn by the benchmarks; the display callback only notes that
  // the window is on screen, so that swaps really reach the server.
  glutDisplayFunc(noteExposed);
  initView();
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (!windowExposed && Clock::now() < deadline) glutMainLoopEvent();
  return windowExposed;
}

// The console output, then a summary: per benchmark, the median over
// repetitions where there are several, otherwise the mean over iterations.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      Figures& figures = figuresByName_[run.run_name.function_name];
      if (run.run_type == Run::RT_Iteration) {
        const double weight = static_cast<double>(run.iterations);
        figures.mean.weight += weight;
        for (const auto& [name, counter] : run.counters) {
          figures.mean.counters[name] += counter.value * weight;
        }
      } else if (run.aggregate_name == "median") {
        figures.median.weight = 1;
        for (const auto& [name, counter] : run.counters) {
          figures.median.counters[name] = counter.value;
        }
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nSummary\n");
    // Speed-ups are against the shadePixel loop, where it ran.
    const Sums* scalarLoop = find(scalarLoopName);
    const double scalarMs = scalarLoop ? scalarLoop->averageCounter("ms_per_frame") : 0;
    std::printf("%-20s %10s %10s %10s\n", "whole-grid shading", "ns/point", "ms/frame", "speed-up");
    if (scalarLoop != nullptr) printShading("shadePixel loop", scalarMs, scalarMs);
    for (int i = 0; i < shadingTargetCount; ++i) {
      const Sums* target = find(shadingPrefix + shadingTargets[i].name);
      if (target != nullptr) {
        printShading(shadingTargets[i].name, target->averageCounter("ms_per_frame"), scalarMs);
      }
    }
    const Sums* frames = find(framesName);
    if (frames != nullptr) {
      const double pass = frames->averageCounter("renderFrame_ms");
      const double floor = frames->averageCounter("glFloor_ms");
      std::printf("\n%-20s %10s %10s\n", "frames", "fps", "ms/frame");
      std::printf("%-20s %10.2f %10.2f\n", "renderFrame", 1e3 / pass, pass);
      std::printf("%-20s %10.2f %10.2f\n", "GL floor", 1e3 / floor, floor);
      std::printf("renderFrame fps / GL floor fps: %.1f%%\n",
                  frames->averageCounter("fps_ratio_%"));
    }
  }

 private:
  // Counters, each summed times its weight.
  struct Sums {
    double weight = 0;
    std::map<std::string, double> counters;
    double averageCounter(const std::string& name) const {
      const auto found = counters.find(name);
      return found == counters.end() ? 0 : found->second / weight;
    }
  };
  struct Figures {
    Sums mean, median;
  };

  const Sums* find(const std::string& name) const {
    const auto found = figuresByName_.find(name);
    if (found == figuresByName_.end()) return nullptr;
    if (found->second.median.weight > 0) return &found->second.median;
    return found->second.mean.weight > 0 ? &found->second.mean : nullptr;
  }

  static void printShading(const char* name, double ms, double scalarMs) {
    std::printf("%-20s %10.2f %10.3f", name, ms / pointsPerFrame * 1e6, ms);
    if (scalarMs > 0) std::printf(" %9.2fx", scalarMs / ms);
    std::printf("\n");
  }

  std::map<std::string, Figures> figuresByName_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);

  benchmark::RegisterBenchmark(scalarLoopName.c_str(), shadeGridScalar)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  for (int i = 0; i < shadingTargetCount; ++i) {
    const ShadingTarget& target = shadingTargets[i];
    if (!target.isSupported()) continue;
    benchmark::RegisterBenchmark((shadingPrefix + target.name).c_str(), shadeGridColumns, &target)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }

  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "No DISPLAY: the frame benchmark needs one and is left out.\n");
  } else if (!openProgramWindow(&argc, argv)) {
    std::fprintf(stderr, "The window was not shown: the frame benchmark is left out.\n");
  } else {
    // Each pair of frames takes a tenth of a second or so; time enough of
    // them to even out the machine's other work.
    benchmark::RegisterBenchmark(framesName.c_str(), framePassBesideGlFloor)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(6);
  }
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
