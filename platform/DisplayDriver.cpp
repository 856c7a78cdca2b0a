#include "platform/DisplayDriver.h"

#include <png.h>

#include <cstdio>

#include "platform/ProcessWide.h"

namespace platform {

namespace {
ProcessWide<std::shared_ptr<DisplayDriver>> gDriver;
}  // namespace

void SetDisplayDriver(std::shared_ptr<DisplayDriver> driver) { gDriver.Set(std::move(driver)); }

std::shared_ptr<DisplayDriver> GetDisplayDriver() { return gDriver.Get(); }

DisplayDriver::DisplayDriver() : gamma_(IdentityRamp()) {}

std::vector<DisplayDevice> DisplayDriver::Devices() const {
  std::vector<DisplayDevice> devices;
  devices.push_back({false, {}, "Primary Display Driver", "display"});
  for (int i = 0; i < MonitorCount(); ++i) {
    DisplayDevice d;
    d.hasGuid = true;
    d.guid = {0x67685559u + static_cast<std::uint32_t>(i), 0x3106, 0x11D0, {0xB9, 0x71, 0x00, 0xAA, 0x00, 0x34, 0x2F, 0x9F}};
    d.description = "Monitor " + std::to_string(i + 1);
    d.name = "\\\\.\\DISPLAY" + std::to_string(i + 1);
    devices.push_back(d);
  }
  return devices;
}

int DisplayDriver::MonitorOf(const GUID* device) const {
  if (!device) return -1;
  const auto devices = Devices();
  for (std::size_t i = 1; i < devices.size(); ++i)
    if (devices[i].hasGuid && devices[i].guid == *device) return static_cast<int>(i) - 1;
  return -1;
}

bool DisplayDriver::ModeSupported(int width, int height, int bpp) const {
  const DisplayFaults& f = faults();
  if (f.refuseAllModes) return false;
  if (width == f.refuseWidth && height == f.refuseHeight && bpp == f.refuseBpp) return false;
  return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

DDGAMMARAMP DisplayDriver::IdentityRamp() {
  DDGAMMARAMP r;
  for (int i = 0; i < 256; ++i) r.red[i] = r.green[i] = r.blue[i] = static_cast<std::uint16_t>(i * 257);
  return r;
}

DDGAMMARAMP DisplayDriver::GammaRamp() const {
  std::lock_guard<std::mutex> lock(gammaMutex_);
  return gamma_;
}

void DisplayDriver::SetGammaRamp(const DDGAMMARAMP& ramp) {
  std::lock_guard<std::mutex> lock(gammaMutex_);
  gamma_ = ramp;
  bool identity = true;
  for (int i = 0; i < 256 && identity; ++i)
    identity = (ramp.red[i] >> 8) == i && (ramp.green[i] >> 8) == i && (ramp.blue[i] >> 8) == i;
  gammaIdentity_.store(identity);
}

void DisplayDriver::ApplyRamp(const DDGAMMARAMP& ramp, std::uint32_t* pixels, std::size_t count) {
  std::uint8_t r[256], g[256], b[256];
  for (int i = 0; i < 256; ++i) {
    r[i] = static_cast<std::uint8_t>(ramp.red[i] >> 8);
    g[i] = static_cast<std::uint8_t>(ramp.green[i] >> 8);
    b[i] = static_cast<std::uint8_t>(ramp.blue[i] >> 8);
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i];
    pixels[i] = (p & 0xFF000000u) | (std::uint32_t{r[(p >> 16) & 0xFF]} << 16) | (std::uint32_t{g[(p >> 8) & 0xFF]} << 8) |
                b[p & 0xFF];
  }
}

// ---- headless ----

bool HeadlessDisplayDriver::BindWindow(WindowId window, bool, int monitor) {
  window_.store(window);
  monitor_.store(monitor);
  return true;
}

void HeadlessDisplayDriver::Released() { window_.store(0); }

void HeadlessDisplayDriver::Present(FrameBuffer& frame, int width, int height) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = frame.pixels;  // a copy: the flip chain keeps its contents, as tests expect
    width_ = width;
    height_ = height;
  }
  frames_.fetch_add(1);
}

std::vector<std::uint32_t> HeadlessDisplayDriver::LastFrame(int* width, int* height) const {
  std::vector<std::uint32_t> frame;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frame = last_;
    if (width) *width = width_;
    if (height) *height = height_;
  }
  if (!GammaIsIdentity()) ApplyRamp(GammaRamp(), frame.data(), frame.size());
  return frame;
}

bool HeadlessDisplayDriver::WritePng(const std::string& path) const {
  int w = 0, h = 0;
  auto frame = LastFrame(&w, &h);
  if (frame.empty()) return false;
  return WritePngFile(path, frame.data(), w, h);
}

bool WritePngFile(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* p = pixels + static_cast<std::size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<png_byte>(p[x] >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(p[x] >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(p[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

}  // namespace platform
