#include "components/Wss.h"

#include <cstdio>

#include "platform/DrawingContext.h"
#include "platform/Library.h"
#include "platform/Timer.h"

namespace components {

using framework::Application;
using platform::DD_OK;
using platform::DDERR_SURFACELOST;
using platform::DDERR_WASSTILLDRAWING;
using platform::HRESULT;

namespace {
// One set of frame-rate counters for every engine in the process.
std::atomic<int> gFrameCounter{0};
std::atomic<std::uint32_t> gLastMeasure{0};
std::atomic<int> gLastRate{0};

constexpr platform::DWORD kExclusiveFullScreen = platform::DDSCL_EXCLUSIVE | platform::DDSCL_FULLSCREEN;  // 0x11

template <class T>
void ReleaseInto(std::atomic<T*>& field) {
  if (T* p = field.exchange(nullptr)) p->Release();
}
}  // namespace

TWss::TWss(TComponent* AOwner) : TPanel(AOwner), FOwnerForm(dynamic_cast<framework::TForm*>(AOwner)) {
  FEnabled = false;
  SetWidthScreen(800);
  SetHeightScreen(600);
}

TWss::~TWss() {
  // Closing is the owner's job, but a running timer or a hooked handler must
  // never call into a destroyed engine.
  if (FTimerEnabled.exchange(false) && FTimerId) platform::TimeKillEvent(FTimerId);
  if (Application) {
    Application->OnIdle = nullptr;
    Application->OnActivate = nullptr;
    Application->OnDeactivate = nullptr;
  }
  if (FGamma) FGamma->Release();
  ReleaseInto(FDDBACK);
  ReleaseInto(FDDPRIM);
  ReleaseInto(FDD);
}

// ---- enabling ----

void TWss::SetEnabled(bool on) {
  if (on == FEnabled) return;
  if (!on) {
    FEnabled = false;
    CloseDirectDraw();
    return;
  }
  FEnabled = true;
  SetRegistry();
  OpenDirectDraw();
  if (FDD.load() && FDDPRIM.load() && FDDBACK.load()) {
    ClearBackSurface();
    FlipSurfaces();
    if (FBrightness < 256) SetRGB(FBrightness);
  }
  SetMasterMixVolume(FSoundVolume);
}

void TWss::OpenDirectDraw() {
  if (Application) {
    if (FUseIdle.load()) Application->OnIdle = [this](TObject* s, bool& done) { GameLoop(s, done); };
    Application->OnDeactivate = [this](TObject* s) { AppDeactivate(s); };
    Application->OnActivate = [this](TObject* s) { AppActivate(s); };
  }
  if (FOwnerForm) {
    FOwnerForm->SetBorderStyle(framework::TFormBorderStyle::bsNone);
    FOwnerForm->SetColor(framework::clBlack);
  }
  SetColor(framework::clBlack);
  Hide();

  platform::IDirectDraw* dd = nullptr;
  if (!FDualMonitor) {
    FLastResult = platform::DirectDrawCreate(nullptr, &dd, nullptr);
    if (FLastResult != DD_OK) return FailAndClose("Error DirectDrawCreate");
  } else {
    if (platform::MonitorCount() < 2) return Fail("This program work only in dual monitor system!");
    FSecondaryGuid.reset();
    FEnumeratedDevices = 0;
    FLastResult = EnumerateScreens();
    if (FLastResult == platform::E_FAIL) Fail("ERROR EnumerateScreens");
    FLastResult = platform::DirectDrawCreate(FSecondaryGuid ? &*FSecondaryGuid : nullptr, &dd, nullptr);
    if (FLastResult != DD_OK) return FailAndClose("Error DirectDrawCreate on secondary monitor");
  }
  FDD.store(dd);

  if (!FDefineFormHandle || !FDDForm) FDDForm = FOwnerForm;
  const platform::WindowId window = FDDForm ? FDDForm->Handle() : 0;
  FLastResult = dd->SetCooperativeLevel(window, kExclusiveFullScreen);
  if (FLastResult != DD_OK) return FailAndClose("Error SetCooperativeLevel");

  FLastResult = dd->SetDisplayMode(static_cast<platform::DWORD>(FWidthScreen),
                                   static_cast<platform::DWORD>(FHeightScreen),
                                   static_cast<platform::DWORD>(FColorDepth));
  if (FLastResult != DD_OK) return FailAndClose("Error SetDisplayMode");

  platform::DDSURFACEDESC desc;
  desc.dwFlags = platform::DDSD_CAPS | platform::DDSD_BACKBUFFERCOUNT;  // 0x21
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = platform::DDSCAPS_PRIMARYSURFACE | platform::DDSCAPS_FLIP | platform::DDSCAPS_COMPLEX;
  platform::IDirectDrawSurface* primary = nullptr;
  FLastResult = dd->CreateSurface(&desc, &primary, nullptr);
  if (FLastResult != DD_OK) return FailAndClose("Error CreatePrimarySurface");
  FDDPRIM.store(primary);

  platform::DDSCAPS caps;
  caps.dwCaps = platform::DDSCAPS_BACKBUFFER;
  platform::IDirectDrawSurface* back = nullptr;
  FLastResult = primary->GetAttachedSurface(&caps, &back);
  if (FLastResult != DD_OK) return FailAndClose("Error CreateBackSurface");
  FDDBACK.store(back);
}

void TWss::CloseDirectDraw() {
  SetTimerEnabled(false);
  if (Application) Application->OnIdle = nullptr;
  ForEachSurfaceOwner(false);
  ReleaseInto(FDDBACK);
  ReleaseInto(FDDPRIM);
  ReleaseInto(FDD);
}

void TWss::ForEachSurfaceOwner(bool restore) {
  if (!FOwnerForm) return;
  for (int i = 0; i < FOwnerForm->ComponentCount(); ++i) {
    TComponent* c = FOwnerForm->Components(i);
    const std::string name = c->ClassName();
    if (name != "TWIM" && name != "TWMV") continue;
    if (auto* owner = dynamic_cast<TWssSurfaceOwner*>(c)) {
      if (restore)
        owner->RestoreForEngine();
      else
        owner->CloseForEngine();
    }
  }
}

// ---- frames ----

void TWss::SetTimerEnabled(bool on) {
  if (on == FTimerEnabled.load()) return;
  if (!on) {
    FTimerEnabled.store(false);
    if (FTimerId != 0) platform::TimeKillEvent(FTimerId);
    return;
  }
  if (!FEnabled) return;
  FTimerEnabled.store(true);
  FTimerId = platform::TimeSetEvent(static_cast<std::uint32_t>(FTimerDelay), 0, &TWss::TickCallback,
                                    reinterpret_cast<std::uintptr_t>(this), platform::TIME_PERIODIC);
}

void TWss::TickCallback(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t, std::uintptr_t) {
  reinterpret_cast<TWss*>(user)->Tick();
}

void TWss::Tick() {
  if (!FActive.load()) return;
  // An exception must not escape into the timer thread; the next tick tries again.
  try {
    if (!FUseIdle.load()) {
      IsLostRestore();
      ClearBackSurface();
      if (OnTimer) OnTimer(this);
      FlipSurfaces();
    } else if (OnTimer) {
      OnTimer(this);
    }
  } catch (...) {
  }
  if (FTickCount.fetch_add(1) + 1 > FTickPeriod.load()) {
    FTickCount.store(0);
    FBigTick.store(!FBigTick.load());
  }
}

void TWss::GameLoop(TObject*, bool& Done) {
  Done = false;
  if (!FActive.load()) return;
  IsLostRestore();
  ClearBackSurface();
  if (OnGameLoop) OnGameLoop(this);
  FlipSurfaces();
}

void TWss::FlipSurfaces() {
  platform::IDirectDrawSurface* primary = FDDPRIM.load();
  if (!primary) return;
  IsLostRestore();
  if (FShowFPS.load()) FuncShowFPS();
  if (FShowTestString.load()) FuncShowTST(GetTestString(), 20, 20);
  if (FShowTestString2.load()) FuncShowTST(GetTestString2(), 20, 40);
  if (FShowTestString3.load()) FuncShowTST(GetTestString3(), 20, 60);
  for (;;) {
    const HRESULT hr = primary->Flip(nullptr, 0);
    if (hr == DDERR_WASSTILLDRAWING) continue;
    if (hr == DDERR_SURFACELOST) IsLostRestore();
    return;
  }
}

void TWss::ClearBackSurface() {
  platform::IDirectDrawSurface* back = FDDBACK.load();
  if (!back) return;
  platform::DDBLTFX fx;
  fx.dwFillColor = 0;
  back->Blt(nullptr, nullptr, nullptr, platform::DDBLT_COLORFILL | platform::DDBLT_WAIT, &fx);
}

void TWss::ClearAllSurface() {
  platform::DDBLTFX fx;
  fx.dwFillColor = 0;
  for (platform::IDirectDrawSurface* s : {FDDPRIM.load(), FDDBACK.load()})
    if (s) s->Blt(nullptr, nullptr, nullptr, platform::DDBLT_COLORFILL | platform::DDBLT_WAIT, &fx);
}

void TWss::IsLostRestore() {
  platform::IDirectDrawSurface* primary = FDDPRIM.load();
  if (!primary || primary->IsLost() != DDERR_SURFACELOST) return;
  if (primary->Restore() != DD_OK) return;
  ForEachSurfaceOwner(true);
}

// ---- activation and exit ----

void TWss::AppDeactivate(TObject*) {
  FActive.store(false);
  if (Application) Application->OnIdle = nullptr;
  SetTimerEnabled(false);
}

void TWss::AppActivate(TObject*) {
  FActive.store(true);
  if (FUseIdle.load() && Application) Application->OnIdle = [this](TObject* s, bool& done) { GameLoop(s, done); };
  SetTimerEnabled(true);
}

void TWss::StopIdle(bool stop) {
  if (!Application) return;
  if (stop)
    Application->OnIdle = nullptr;
  else if (FUseIdle.load())
    Application->OnIdle = [this](TObject* s, bool& done) { GameLoop(s, done); };
}

void TWss::FullExit() {
  if (!FOwnerForm) return;
  FOwnerForm->Hide();
  FOwnerForm->SetBorderStyle(framework::TFormBorderStyle::bsSizeable);
  FOwnerForm->SetHeight(20);
  FOwnerForm->SetWidth(20);
  FOwnerForm->Close();
}

// ---- secondary monitor ----

namespace {
bool EnumerateCallback(platform::GUID* guid, const char*, const char*, void* context, void*) {
  auto* counter = static_cast<std::pair<int*, std::optional<platform::GUID>*>*>(context);
  if (++*counter->first == 3 && guid) *counter->second = *guid;
  return true;
}
}  // namespace

HRESULT TWss::EnumerateScreens() {
  platform::HMODULE lib = platform::LoadLibraryA("ddraw.dll");
  if (!lib) return platform::E_FAIL;
  auto enumerate = reinterpret_cast<decltype(&platform::DirectDrawEnumerateExA)>(
      platform::GetProcAddress(lib, "DirectDrawEnumerateExA"));
  if (!enumerate) {
    platform::FreeLibrary(lib);
    return platform::E_FAIL;
  }
  std::pair<int*, std::optional<platform::GUID>*> context{&FEnumeratedDevices, &FSecondaryGuid};
  const HRESULT hr = enumerate(&EnumerateCallback, &context, platform::DDENUM_ATTACHEDSECONDARYDEVICES);
  platform::FreeLibrary(lib);
  return hr;
}

// ---- simple properties ----

void TWss::SetWidthScreen(int value) {
  FWidthScreen = value;
  SetWidth(value);
}

void TWss::SetHeightScreen(int value) {
  FHeightScreen = value;
  SetHeight(value);
}

void TWss::SetInterval(int ms) {
  if (ms < 1) return;  // a period below 1 ms cannot be timed and would divide by zero
  FTimerDelay = ms;
  FTickPeriod.store((1000 / ms) * 20);
}

void TWss::Fail(const std::string& text) { FError.Report(text, OnError, this); }

void TWss::FailAndClose(const std::string& text) {
  FError.SetText(text);
  CloseDirectDraw();
  if (OnError) OnError(this);
}

// ---- diagnostics ----

std::string TWss::GetTestString() const {
  std::lock_guard<std::mutex> lock(FTextMutex);
  return FTestString;
}
std::string TWss::GetTestString2() const {
  std::lock_guard<std::mutex> lock(FTextMutex);
  return FTestString2;
}
std::string TWss::GetTestString3() const {
  std::lock_guard<std::mutex> lock(FTextMutex);
  return FTestString3;
}
void TWss::SetTestString(const std::string& text) {
  std::lock_guard<std::mutex> lock(FTextMutex);
  if (FTestString != text) FTestString = text;
}
void TWss::SetTestString2(const std::string& text) {
  std::lock_guard<std::mutex> lock(FTextMutex);
  if (FTestString2 != text) FTestString2 = text;
}
void TWss::SetTestString3(const std::string& text) {
  std::lock_guard<std::mutex> lock(FTextMutex);
  if (FTestString3 != text) FTestString3 = text;
}

int TWss::LastFrameRate() { return gLastRate.load(); }

void TWss::ResetFrameRateForTesting() {
  gFrameCounter.store(0);
  gLastMeasure.store(0);
  gLastRate.store(0);
}

void TWss::FuncShowFPS() {
  if (gFrameCounter.fetch_add(1) + 1 == 10) {
    const std::uint32_t previous = gLastMeasure.exchange(platform::TimeGetTime());
    const std::uint32_t elapsed = gLastMeasure.load() - previous;
    // Ten frames within one clock tick cannot be measured; keep the last figure.
    if (elapsed != 0) gLastRate.store(static_cast<int>(10.0 / (elapsed * 0.001)));
    gFrameCounter.store(0);
  }
  char line[64];
  std::snprintf(line, sizeof line, "Frame rate: %d FPS", gLastRate.load());
  DrawDiagnosticLine(line, 20, FHeightScreen - 30);
}

void TWss::FuncShowTST(const std::string& text, int x, int y) { DrawDiagnosticLine(text, x, y); }

void TWss::DrawDiagnosticLine(const std::string& text, int x, int y) {
  platform::IDirectDrawSurface* back = FDDBACK.load();
  if (!back) return;
  platform::HDC dc = nullptr;
  if (back->GetDC(&dc) != DD_OK) return;
  dc->SetBkMode(platform::TRANSPARENT);
  dc->SetTextColor(0xFFFFFF);
  dc->TextOut(x, y, text);
  back->ReleaseDC(dc);
}

}  // namespace components
