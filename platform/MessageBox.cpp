#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/ProcessWide.h"

namespace platform {

namespace {
ProcessWide<MessageBoxHandler> gHandler;

int Record(const char* path, const std::string& text, const std::string& caption) {
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s|%s\n", caption.c_str(), text.c_str());
    std::fclose(f);
  }
  return IDOK;
}

int ShowWithSdl(const std::string& text, const std::string& caption, unsigned flags) {
  Uint32 sdlFlags = SDL_MESSAGEBOX_INFORMATION;
  if ((flags & 0xF0) == MB_ICONERROR) sdlFlags = SDL_MESSAGEBOX_ERROR;
  if ((flags & 0xF0) == MB_ICONWARNING) sdlFlags = SDL_MESSAGEBOX_WARNING;
  if (SDL_ShowSimpleMessageBox(sdlFlags, caption.c_str(), text.c_str(), nullptr) != 0)
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());  // no display to show it on
  return IDOK;
}
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { gHandler.Set(std::move(handler)); }

int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, unsigned flags) {
  if (const char* log = std::getenv("BRISVANE_MESSAGEBOX_LOG"); log && *log) return Record(log, text, caption);
  if (MessageBoxHandler handler = gHandler.Get()) return handler(owner, text, caption, flags);
  return ShowWithSdl(text, caption, flags);
}

}  // namespace platform
