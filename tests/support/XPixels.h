// Reading back what an X server shows. Include after every other header: Xlib's
// macros (None, Status) clash with them.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <cstdint>
#include <vector>

namespace testing_support {

// RGB pixels of a window's area (or a root's), row by row; empty when unreadable.
inline std::vector<std::uint32_t> Grab(Display* d, Window w, int x, int y, int width, int height) {
  std::vector<std::uint32_t> out;
  XImage* img = XGetImage(d, w, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!img) return out;
  out.reserve(static_cast<std::size_t>(width) * height);
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFF);
  XDestroyImage(img);
  return out;
}

// Top-level windows shown on a screen (SDL keeps a small unmapped one of its own).
inline int MappedTopLevelWindows(Display* d, int screen) {
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  XQueryTree(d, RootWindow(d, screen), &root, &parent, &children, &count);
  int mapped = 0;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state != IsUnmapped) ++mapped;
  }
  if (children) XFree(children);
  return mapped;
}

// Is the cursor at the pointer an invisible one? (Link Xfixes.)
inline bool CursorHidden(Display* d) {
  XFixesCursorImage* image = XFixesGetCursorImage(d);
  if (!image) return false;
  bool hidden = true;
  for (int i = 0; i < image->width * image->height; ++i) hidden = hidden && (image->pixels[i] >> 24) == 0;
  XFree(image);
  return hidden;
}

}  // namespace testing_support
