// Whether a window can be shown at all: Qt ends the process when it cannot
// reach its display, so every Qt window is made only after asking here.
#pragma once

namespace platform {

// True when QT_QPA_PLATFORM names a platform other than X11 (the tests'
// offscreen one, say), or when the X display in DISPLAY accepts a connection.
bool DisplayAvailable();

}  // namespace platform
