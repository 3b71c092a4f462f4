#pragma once

namespace hall {

// Whether Qt will find a screen to open windows on: a platform named in
// QT_QPA_PLATFORM or by -platform, or an X11 or Wayland display. Without one
// QApplication aborts with a message an operator cannot act on.
bool displayExpected(int argc, char** argv);

// Called first in main: without a display, says so in one line on standard
// error, with how to get one, and gives false; the program then exits 1.
bool checkDisplay(int argc, char** argv);

}  // namespace hall
