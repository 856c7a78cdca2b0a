// A display object in exclusive mode with its flip chain, as the engine opens
// it, and plain off-screen surfaces: shared by the display tests and benchmarks.
#pragma once

#include "platform/DDraw.h"

namespace testing_support {

// Creates the object on the active driver, sets the mode and makes the chain.
// Returns the first failing step's result; what was made is left in the outputs.
inline platform::HRESULT OpenFlipChain(int width, int height, platform::IDirectDraw** dd,
                                       platform::IDirectDrawSurface** primary, platform::IDirectDrawSurface** back,
                                       platform::WindowId window = 7) {
  using namespace platform;
  HRESULT hr = DirectDrawCreate(nullptr, dd, nullptr);
  if (hr != DD_OK) return hr;
  hr = (*dd)->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
  if (hr != DD_OK) return hr;
  hr = (*dd)->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height), 32);
  if (hr != DD_OK) return hr;
  DDSURFACEDESC desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.dwBackBufferCount = 1;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  hr = (*dd)->CreateSurface(&desc, primary, nullptr);
  if (hr != DD_OK) return hr;
  DDSCAPS caps{DDSCAPS_BACKBUFFER};
  return (*primary)->GetAttachedSurface(&caps, back);
}

// A plain off-screen surface (black), or null.
inline platform::IDirectDrawSurface* MakePlainSurface(platform::IDirectDraw* dd, int width, int height) {
  using namespace platform;
  DDSURFACEDESC desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  IDirectDrawSurface* s = nullptr;
  return dd->CreateSurface(&desc, &s, nullptr) == DD_OK ? s : nullptr;
}

}  // namespace testing_support
