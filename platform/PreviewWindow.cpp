#include "platform/PreviewWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <atomic>
#include <cstdlib>

namespace platform {

namespace {
std::atomic<int> gLastXError{0};

int RecordError(Display*, XErrorEvent* e) {
  gLastXError.store(e->error_code);
  return 0;
}

int Shift(unsigned long mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

unsigned long Scale(std::uint32_t v8, unsigned long mask) {
  if (!mask) return 0;
  const int shift = Shift(mask);
  const unsigned long max = mask >> shift;
  return ((v8 * max + 127) / 255) << shift;
}
}  // namespace

struct PreviewWindow::Impl {
  Display* display = nullptr;
  Window window = 0;
  XErrorHandler previous = nullptr;
};

PreviewWindow::PreviewWindow() : impl_(std::make_unique<Impl>()) {}

PreviewWindow::~PreviewWindow() {
  if (impl_->display) {
    XCloseDisplay(impl_->display);
    XSetErrorHandler(impl_->previous);
  }
}

bool PreviewWindow::Open(unsigned long window, std::string* error) {
  impl_->display = XOpenDisplay(nullptr);
  if (!impl_->display) {
    if (error) *error = "cannot open the X display";
    return false;
  }
  impl_->previous = XSetErrorHandler(&RecordError);
  impl_->window = window;
  if (!Exists()) {
    if (error) *error = "no such window";
    return false;
  }
  gLastXError.store(0);
  XSelectInput(impl_->display, impl_->window, StructureNotifyMask);
  XSync(impl_->display, False);
  return gLastXError.load() == 0;
}

bool PreviewWindow::Exists() {
  if (!impl_->display || impl_->window == 0) return false;
  gLastXError.store(0);
  XWindowAttributes attributes;
  const Status ok = XGetWindowAttributes(impl_->display, impl_->window, &attributes);
  return ok != 0 && gLastXError.load() == 0;
}

bool PreviewWindow::Viewable() {
  if (!impl_->display) return false;
  gLastXError.store(0);
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(impl_->display, impl_->window, &attributes) || gLastXError.load() != 0) return false;
  return attributes.map_state == IsViewable;
}

void PreviewWindow::WaitForEvent(int timeoutMs) {
  if (!impl_->display) return;
  while (XPending(impl_->display)) {
    XEvent e;
    XNextEvent(impl_->display, &e);
  }
  pollfd fd{ConnectionNumber(impl_->display), POLLIN, 0};
  poll(&fd, 1, timeoutMs);
}

bool PreviewWindow::Draw(const std::uint32_t* pixels, int width, int height) {
  if (!impl_->display || width <= 0 || height <= 0) return false;
  gLastXError.store(0);
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(impl_->display, impl_->window, &attributes) || gLastXError.load() != 0) return false;
  Visual* visual = attributes.visual;
  auto* data = static_cast<char*>(std::malloc(static_cast<std::size_t>(width) * height * 4));
  if (!data) return false;
  XImage* image = XCreateImage(impl_->display, visual, static_cast<unsigned>(attributes.depth), ZPixmap, 0, data,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (!image) {
    std::free(data);
    return false;
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
      XPutPixel(image, x, y,
                Scale((p >> 16) & 0xFF, visual->red_mask) | Scale((p >> 8) & 0xFF, visual->green_mask) |
                    Scale(p & 0xFF, visual->blue_mask));
    }
  GC gc = XCreateGC(impl_->display, impl_->window, 0, nullptr);
  XPutImage(impl_->display, impl_->window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  XFreeGC(impl_->display, gc);
  XDestroyImage(image);  // frees data
  XSync(impl_->display, False);
  return gLastXError.load() == 0;
}

}  // namespace platform
