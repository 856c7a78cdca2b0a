// Message boxes: Qt's QMessageBox in every mode, drawn with fontconfig fonts
// so it shows on any X server (one without core fonts too). Where no Qt
// application runs yet (run, preview and password modes), one is made for the
// box and ended with it. Without a display the message goes to stderr.
// BRISVANE_MESSAGEBOX_LOG names a file that gets one line "caption|text" per
// box instead of a window (for tests).
#pragma once

#include <functional>
#include <string>

#include "platform/DDraw.h"

namespace platform {

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;

using MessageBoxHandler =
    std::function<int(WindowId owner, const std::string& text, const std::string& caption, unsigned flags)>;

// Replaces the way boxes are shown (tests, a hosted saver); an empty handler restores Qt's.
void SetMessageBoxHandler(MessageBoxHandler handler);
// A handler that writes "caption: text" to stderr, as boxes go where there is no display.
int MessageBoxToStderr(WindowId owner, const std::string& text, const std::string& caption, unsigned flags);
// Modal; returns when the user presses Enter or clicks OK.
int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, unsigned flags = MB_OK);

}  // namespace platform
