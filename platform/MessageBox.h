// Message boxes: SDL's in run, preview and password modes, Qt's in
// configuration mode, and a recorder (BRISVANE_MESSAGEBOX_LOG names a file that
// gets one line "caption|text" per box instead of a window) for tests.
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

// Replaces the way boxes are shown (the configuration mode installs Qt's);
// an empty handler restores the default.
void SetMessageBoxHandler(MessageBoxHandler handler);
int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, unsigned flags = MB_OK);

}  // namespace platform
