#include <gtest/gtest.h>

#include <cmath>

#include "frame_renderer.h"

namespace {

TEST(Clock, FiveStepsFromZeroAreExactlyHalf) {
  float t = 0.0f;
  for (int step = 0; step < 5; ++step) t = nextClockValue(t);
  EXPECT_EQ(t, 0.5f);
}

TEST(Clock, FirstStepIsPointOneInSinglePrecision) { EXPECT_EQ(nextClockValue(0.0f), 0.1f); }

struct StepCase {
  const char* name;
  float from;
  float step;
};

class ClockStep : public ::testing::TestWithParam<StepCase> {};

// As the clock grows, the rounded step drifts away from 0.1 and finally to 0.
TEST_P(ClockStep, RoundedStep) {
  const StepCase& c = GetParam();
  EXPECT_EQ(nextClockValue(c.from) - c.from, c.step);
}

INSTANTIATE_TEST_SUITE_P(
    Clock, ClockStep,
    ::testing::Values(StepCase{"From2To17", std::ldexp(1.0f, 17), 3.0f / 32},
                      StepCase{"Below2To19", std::ldexp(1.0f, 19) - 3.0f / 32, 3.0f / 32},
                      StepCase{"Between", 300000.0f, 3.0f / 32},
                      StepCase{"From2To19", std::ldexp(1.0f, 19), 1.0f / 8},
                      StepCase{"Below2To21", std::ldexp(1.0f, 21) - 1.0f / 8, 1.0f / 8},
                      StepCase{"From2To21", std::ldexp(1.0f, 21), 0.0f},
                      StepCase{"Far", 1e9f, 0.0f}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return info.param.name; });

}  // namespace
