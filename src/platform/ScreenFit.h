// New top-level windows open within the screen: a design size that is larger
// than the room the screen has (a small screen, or a scale factor of 2) is
// cut down to it before the window is first shown.
#pragma once

class QWidget;

namespace brindle {

// Shrinks a top-level window that is not shown yet to the available room of
// its screen (its parent's screen, else the primary one), keeping room for
// the frame the window manager adds, and moves a window that was placed
// partly off that room back onto it. A window that fits is left alone.
void FitToScreen(QWidget& window);

}  // namespace brindle
