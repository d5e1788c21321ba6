#pragma once

// The point grid: at once the window size, the projection extents, the loop
// bounds of the frame pass and the divisors that normalise a point's position.
constexpr int gridWidth = 800;
constexpr int gridHeight = 640;
