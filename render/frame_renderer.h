#pragma once

// The animation clock: counts frames in steps of 0.1, starting from 0.
extern float animTime;

// The clock value one step after t, rounded to single precision.
float nextClockValue(float t);

// Display and idle callback: advances the clock and draws one whole frame.
void renderFrame();
