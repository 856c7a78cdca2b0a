// TWss: the screensaver engine. Owns the display (object, primary and back
// surface), drives frames from the periodic timer or the application's idle
// time, restores lost surfaces and flips; carries the settings record, the
// brightness ramp, the master volume and the diagnostics overlay.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "components/ErrorReport.h"
#include "framework/TApplication.h"
#include "framework/TControl.h"
#include "framework/TForm.h"
#include "platform/DDraw.h"

namespace components {

using framework::TComponent;
using framework::TNotifyEvent;
using framework::TObject;

// What the engine asks of the sprites it restores and closes. TWIM answers with
// RestoreSurface/CloseDXImage, TWMV with RestoreSurfaces/CloseDXMovie; the
// engine only asks components whose class name is exactly "TWIM" or "TWMV".
class TWssSurfaceOwner {
 public:
  virtual ~TWssSurfaceOwner() = default;
  virtual void RestoreForEngine() = 0;
  virtual void CloseForEngine() = 0;
};

class TWss : public framework::TPanel {
 public:
  explicit TWss(TComponent* AOwner);
  ~TWss() override;
  std::string ClassName() const override { return "TWss"; }

  // --- display and frames ---
  void SetEnabled(bool on) override;
  bool GetTimerEnabled() const { return FTimerEnabled.load(); }
  void SetTimerEnabled(bool on);
  void GameLoop(TObject* Sender, bool& Done);
  void OpenDirectDraw();
  void CloseDirectDraw();
  void FlipSurfaces();
  void ClearBackSurface();
  void ClearAllSurface();
  void IsLostRestore();
  platform::HRESULT EnumerateScreens();
  void AppActivate(TObject* Sender);
  void AppDeactivate(TObject* Sender);
  void StopIdle(bool stop);
  void FullExit();
  // One tick of the frame timer (what the timer thread runs each period).
  void Tick();

  int GetWidthScreen() const { return FWidthScreen; }
  void SetWidthScreen(int value);
  int GetHeightScreen() const { return FHeightScreen; }
  void SetHeightScreen(int value);
  int GetColorDepth() const { return FColorDepth; }
  void SetColorDepth(int value) { FColorDepth = value; }
  int GetInterval() const { return FTimerDelay; }
  void SetInterval(int ms);
  std::string GetErrorResult() const { return FError.Text(); }
  void SetErrorResult(const std::string& text) { FError.SetText(text); }
  // A position or size of the 1024 x 768 design space on this display (truncating).
  int DesignToScreenX(int v) const { return v * FWidthScreen / 1024; }
  int DesignToScreenY(int v) const { return v * FHeightScreen / 768; }
  bool GetUseIdle() const { return FUseIdle.load(); }
  void SetUseIdle(bool on) { FUseIdle.store(on); }
  bool GetDualMonitor() const { return FDualMonitor; }
  void SetDualMonitor(bool on) { FDualMonitor = on; }
  bool GetDefineFormHandle() const { return FDefineFormHandle; }
  void SetFormHandle(bool on) { FDefineFormHandle = on; }
  framework::TForm* GetDDForm() const { return FDDForm; }
  void SetParentForm(framework::TForm* form) { FDDForm = form; }
  bool GetBigTick() const { return FBigTick.load(); }
  int GetTickPeriod() const { return FTickPeriod.load(); }
  bool GetActive() const { return FActive.load(); }
  platform::HRESULT GetLastResult() const { return FLastResult; }
  std::uint32_t GetTimerId() const { return FTimerId; }

  TNotifyEvent OnError;
  TNotifyEvent OnGameLoop;
  TNotifyEvent OnTimer;

  // Written only by the engine (GUI thread); read by children and the frame thread.
  std::atomic<platform::IDirectDraw*> FDD{nullptr};
  std::atomic<platform::IDirectDrawSurface*> FDDPRIM{nullptr};
  std::atomic<platform::IDirectDrawSurface*> FDDBACK{nullptr};

  // --- diagnostics ---
  bool GetShowFPS() const { return FShowFPS.load(); }
  void SetshowFPS(bool on) { FShowFPS.store(on); }
  bool GetShowTestString() const { return FShowTestString.load(); }
  void SetShowTestString(bool on) { FShowTestString.store(on); }
  bool GetShowTestString2() const { return FShowTestString2.load(); }
  void SetShowTestString2(bool on) { FShowTestString2.store(on); }
  bool GetShowTestString3() const { return FShowTestString3.load(); }
  void SetShowTestString3(bool on) { FShowTestString3.store(on); }
  std::string GetTestString() const;
  void SetTestString(const std::string& text);
  std::string GetTestString2() const;
  void SetTestString2(const std::string& text);
  std::string GetTestString3() const;
  void SetTestString3(const std::string& text);
  void FuncShowFPS();
  void FuncShowTST(const std::string& text, int x, int y);
  // The frame-rate counters shared by every engine in the process.
  static int LastFrameRate();
  static void ResetFrameRateForTesting();

  // --- settings record ---
  bool ReadRKey(const std::string& name, int& value);
  bool WriteRKey(const std::string& name, int value);
  bool ReadAKey(const std::string& name, std::string& text);
  bool WriteAKey(const std::string& name, const std::string& text);
  void SetRegistry();
  std::string GetBrandName() const { return FBrandName; }
  void SetBrandName(const std::string& text) { FBrandName = text; }
  std::string GetSSName() const { return FSSName; }
  void SetSSName(const std::string& text) { FSSName = text; }
  std::string GetTDegree() const { return FTDegree; }
  std::string GetWeatherCode() const { return FWeatherCode; }
  std::string GetRSS_Url() const { return FRSS_Url; }
  std::string GetProxy() const { return FProxy; }
  std::string GetPort() const { return FPort; }
  int GetShowTime() const { return FShowTime; }
  int GetShowWeather() const { return FShowWeather; }
  int GetShowNews() const { return FShowNews; }
  int GetShowBlack() const { return FShowBlack; }
  int GetUseProxy() const { return FUseProxy; }

  // --- brightness and sound ---
  void SetBrightnessEnabled(bool on);
  void SetRGB(int value);
  void SetLinearRGB(int red, int green, int blue);
  int GetRGB() const { return FBrightness; }
  int GetVolume() const { return FSoundVolume; }
  void SetVolume(int value) { FSoundVolume = value; }
  bool SetMasterMixVolume(int volume);

 protected:
  // Records a failure and fires OnError.
  void Fail(const std::string& text);
  // Records a failure, closes the display, then fires OnError.
  void FailAndClose(const std::string& text);

 private:
  static void TickCallback(std::uint32_t id, std::uint32_t msg, std::uintptr_t user, std::uintptr_t, std::uintptr_t);
  void ForEachSurfaceOwner(bool restore);
  void DrawDiagnosticLine(const std::string& text, int x, int y);
  std::string KeyPath() const;

  framework::TForm* FOwnerForm = nullptr;
  int FWidthScreen = 800;
  int FHeightScreen = 600;
  int FColorDepth = 24;
  int FTimerDelay = 40;
  std::atomic<int> FTickPeriod{500};
  std::atomic<int> FTickCount{0};
  std::atomic<bool> FBigTick{false};
  std::atomic<bool> FTimerEnabled{false};
  std::atomic<bool> FUseIdle{true};
  std::atomic<bool> FActive{true};
  std::uint32_t FTimerId = 0;
  platform::HRESULT FLastResult = 0;
  bool FDualMonitor = false;
  bool FDefineFormHandle = false;
  framework::TForm* FDDForm = nullptr;
  std::optional<platform::GUID> FSecondaryGuid;
  int FEnumeratedDevices = 0;

  ErrorReport FError;
  mutable std::mutex FTextMutex;  // the test strings cross threads
  std::string FTestString, FTestString2, FTestString3;
  std::atomic<bool> FShowFPS{false};
  std::atomic<bool> FShowTestString{false}, FShowTestString2{false}, FShowTestString3{false};

  // Settings record.
  std::string FBrandName, FSSName;
  int FBrightness = 256;
  int FSoundVolume = 0;
  std::string FTDegree, FWeatherCode, FRSS_Url, FProxy, FPort;
  int FShowTime = 0, FShowWeather = 0, FShowNews = 0, FShowBlack = 0, FUseProxy = 0;

  // Gamma control, held only while a ramp changes.
  platform::IDirectDrawGammaControl* FGamma = nullptr;
  bool FGammaEnabled = false;
};

// First-run defaults of the settings record (the dialog writes the same).
extern const char* const kDefaultRssUrl;  // the default news feed address
inline constexpr int kDefaultBrightness = 256;
inline constexpr int kDefaultSoundVolume = 200;
inline constexpr const char* kDefaultTDegree = "f";
inline constexpr const char* kDefaultWeatherCode = "20001";

}  // namespace components
