// The saver's line in XScreenSaver's list of programs, ~/.xscreensaver. The
// daemon discovers no program by itself and a package must not edit the
// system's list, so the user's own list has to name the saver.
#pragma once

#include <string>

namespace shell {

// The line as it stands in the list (the name shown, then the command).
inline constexpr const char* kXScreenSaverEntry = "\"Brisvane Lake\"  brisvane --root";

// The resource file's text with the entry appended to its programs list (a
// list made when it has none); unchanged when a line of ours is listed.
std::string AddToProgramsList(const std::string& text);
// The text without the lines of ours in its programs list.
std::string RemoveFromProgramsList(const std::string& text);

// --xscreensaver-add / --xscreensaver-remove on the user's file: replaced
// atomically (a file the name links to is edited in place of the link), the
// previous text kept beside it as .xscreensaver.bak. message says what was
// done, or why nothing could be.
bool EditXScreenSaverFile(bool add, std::string& message);

}  // namespace shell
