// Brightness through the primary surface's gamma ramp, and the master volume.
#include "components/Wss.h"

#include "platform/Mixer.h"

namespace components {

using platform::DD_OK;

void TWss::SetBrightnessEnabled(bool on) {
  if (on == FGammaEnabled) return;
  if (!on) {
    FGammaEnabled = false;
    if (FGamma) FGamma->Release();
    FGamma = nullptr;
    return;
  }
  platform::IDirectDraw* dd = FDD.load();
  platform::IDirectDrawSurface* primary = FDDPRIM.load();
  // A closed display has no ramp to change (and no surface to ask).
  if (!dd || !primary) {
    FGammaEnabled = false;
    return;
  }
  if (primary->IsLost() == platform::DDERR_SURFACELOST) {
    FGammaEnabled = false;
    Fail("Lost surface");
    return;
  }
  platform::DDCAPS caps;  // zeroed; only the driver's capabilities are asked for
  dd->GetCaps(&caps, nullptr);
  FGammaEnabled = false;
  if (caps.dwCaps2 & platform::DDCAPS2_PRIMARYGAMMA) {
    void* control = nullptr;
    if (primary->QueryInterface(platform::IID_IDirectDrawGammaControl, &control) == DD_OK && control) {
      FGamma = static_cast<platform::IDirectDrawGammaControl*>(control);
      FGammaEnabled = true;
    }
  }
}

namespace {

// Entry i := i * multiplier modulo 65536, accumulated in 16 bits.
void FillChannel(std::uint16_t (&channel)[256], int multiplier) {
  const auto step = static_cast<std::uint16_t>(multiplier);
  std::uint16_t level = 0;
  for (auto& entry : channel) {
    entry = level;
    level = static_cast<std::uint16_t>(level + step);
  }
}

}  // namespace

void TWss::SetRGB(int value) {
  SetBrightnessEnabled(true);
  if (!FGammaEnabled) return;  // no gamma support or a lost surface: Brightness keeps its value
  FBrightness = value;
  SetLinearRGB(value, value, value);  // finds the control already held
}

void TWss::SetLinearRGB(int red, int green, int blue) {
  SetBrightnessEnabled(true);
  if (!FGammaEnabled) return;
  // The control goes with the display when a failure closes it.
  auto dropAndClose = [this](const char* text) {
    FGamma->Release();
    FGamma = nullptr;
    FGammaEnabled = false;
    FailAndClose(text);
  };
  platform::DDGAMMARAMP ramp{};
  if (FGamma->GetGammaRamp(0, &ramp) != DD_OK) return dropAndClose("Cannot GetGammaRamp");
  FillChannel(ramp.red, red);
  FillChannel(ramp.green, green);
  FillChannel(ramp.blue, blue);
  if (FGamma->SetGammaRamp(0, &ramp) != DD_OK) return dropAndClose("Cannot SetGammaRamp");
  SetBrightnessEnabled(false);
}

bool TWss::SetMasterMixVolume(int volume) {
  std::unique_ptr<platform::Mixer> mixer = platform::MakeSystemMixer();
  return mixer && platform::SetMasterVolume(*mixer, platform::VolumeDetail(volume));
}

}  // namespace components
