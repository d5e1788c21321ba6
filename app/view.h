#pragma once

// Sets the GL view state once, with the window's GL context current: black
// clear colour, one-pixel points, and a projection that maps the point grid
// onto the window with (0, 0) at the top-left corner.
void initView();
