#pragma once

namespace displayscaling {

// Turns on Qt's own scaling of the window to the display, with the factor unrounded. Call it
// before the QApplication is made.
void setUp();

} // namespace displayscaling
