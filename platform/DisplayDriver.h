// What the software display needs from whatever shows its frames: a window to
// present into, the modes it can show, lost-surface signalling, a gamma ramp.
// One driver is active per process (SDL in run mode, headless in tests and
// benchmarks); the fault hooks let tests make any step fail.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DDraw.h"

namespace platform {

struct DisplayFaults {
  bool failCreate = false;          // DirectDrawCreate
  bool failCooperativeLevel = false;
  bool refuseAllModes = false;
  int refuseWidth = 0, refuseHeight = 0, refuseBpp = 0;  // one refused mode
  bool failPrimary = false;         // CreateSurface of the flip chain
  bool failBackSurface = false;     // GetAttachedSurface
  bool failOffscreen = false;       // CreateSurface of plain surfaces
  bool failGetDC = false;
  bool failRestore = false;
  bool gammaUnsupported = false;
  bool failGetGamma = false;
  bool failSetGamma = false;
};

struct DisplayDevice {
  bool hasGuid = false;
  GUID guid;
  std::string description;
  std::string name;
};

class DisplayDriver {
 public:
  virtual ~DisplayDriver() = default;

  virtual int MonitorCount() const { return monitors_; }
  // The default device first (no GUID), then one entry per monitor.
  virtual std::vector<DisplayDevice> Devices() const;

  virtual bool ModeSupported(int width, int height, int bpp) const;
  // Binds the display to a window for exclusive full-screen use on a monitor
  // (0 = the first; -1 = the default device: wherever the window is).
  virtual bool BindWindow(WindowId window, bool exclusive, int monitor) {
    (void)window, (void)exclusive, (void)monitor;
    return true;
  }
  // The monitor a device GUID of Devices() stands for, or -1 for none.
  int MonitorOf(const GUID* device) const;
  virtual void ModeChanged(int width, int height, int bpp) { (void)width, (void)height, (void)bpp; }
  // The display object was released: give the screen back.
  virtual void Released() {}
  // Called on the frame thread by Flip with the finished front buffer
  // (width * height pixels, a signature per row). The driver may keep the
  // buffer by swapping it for one of its own of the same size, which saves a
  // copy per frame; the buffer it hands back must hold what its row
  // signatures say, or none.
  virtual void Present(FrameBuffer& frame, int width, int height) = 0;

  // Surfaces created before the current epoch are lost. Bumped when the window
  // or device goes away (minimised, focus lost, device reset).
  std::uint64_t LostEpoch() const { return lostEpoch_.load(); }
  void LoseSurfaces() { lostEpoch_.fetch_add(1); }
  // While false, Restore fails (the window is still minimised).
  virtual bool CanRestore() const { return true; }

  // The gamma ramp applied to presented frames (identity by default).
  bool GammaSupported() const { return !faults().gammaUnsupported; }
  DDGAMMARAMP GammaRamp() const;
  void SetGammaRamp(const DDGAMMARAMP& ramp);
  bool GammaIsIdentity() const { return gammaIdentity_.load(); }
  static DDGAMMARAMP IdentityRamp();
  // Applies the ramp to a row of pixels in place (level i shows as ramp[i] >> 8).
  static void ApplyRamp(const DDGAMMARAMP& ramp, std::uint32_t* pixels, std::size_t count);

  DisplayFaults& faults() { return faults_; }
  const DisplayFaults& faults() const { return faults_; }
  void SetMonitorCount(int n) { monitors_ = n; }

 protected:
  DisplayDriver();

 private:
  DisplayFaults faults_;
  int monitors_ = 1;
  std::atomic<std::uint64_t> lostEpoch_{0};
  mutable std::mutex gammaMutex_;
  DDGAMMARAMP gamma_;
  std::atomic<bool> gammaIdentity_{true};
};

// The process's active driver; DirectDrawCreate uses it.
void SetDisplayDriver(std::shared_ptr<DisplayDriver> driver);
std::shared_ptr<DisplayDriver> GetDisplayDriver();

// Keeps frames in memory; needs no display.
class HeadlessDisplayDriver : public DisplayDriver {
 public:
  HeadlessDisplayDriver() = default;
  void Present(FrameBuffer& frame, int width, int height) override;
  bool BindWindow(WindowId window, bool exclusive, int monitor) override;
  void Released() override;

  // The last presented frame with the gamma ramp applied, as the user would see it.
  std::vector<std::uint32_t> LastFrame(int* width = nullptr, int* height = nullptr) const;
  std::uint64_t FrameCount() const { return frames_.load(); }
  WindowId BoundWindow() const { return window_.load(); }
  int BoundMonitor() const { return monitor_.load(); }
  bool WritePng(const std::string& path) const;
  void SetCanRestore(bool can) { canRestore_ = can; }
  bool CanRestore() const override { return canRestore_.load(); }

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint32_t> last_;
  int width_ = 0, height_ = 0;
  std::atomic<std::uint64_t> frames_{0};
  std::atomic<WindowId> window_{0};
  std::atomic<int> monitor_{-1};
  std::atomic<bool> canRestore_{true};
};

// Writes 32-bit XRGB pixels as an 8-bit RGB PNG.
bool WritePngFile(const std::string& path, const std::uint32_t* pixels, int width, int height);

}  // namespace platform
