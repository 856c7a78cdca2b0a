// How frames reach the screen: through a renderer's texture where a GPU draws,
// straight into the window's framebuffer where only the CPU does, and with which
// filter the frame is scaled. A software rasteriser is never taken for a GPU:
// through it, presenting costs several times the framebuffer path.
#pragma once

#include <string>

#include "platform/FrameScaler.h"

namespace platform {

// What a probe of the accelerated renderer found.
struct RendererFacts {
  bool probed = false;      // false: not looked at (no GPU device on this machine)
  bool found = false;       // an accelerated renderer could be created
  std::string name;         // SDL's renderer name ("opengl", "opengles2", "software")
  bool accelerated = false; // the renderer's own claim
  std::string device;       // the OpenGL renderer string, where there is one
};

// A renderer that draws on the CPU whatever it claims: SDL's own software
// renderer, or OpenGL on Mesa's llvmpipe, softpipe or swrast and the like.
bool IsSoftwareRenderer(const RendererFacts& facts);

enum class PresentPath { Framebuffer, Texture };

struct PresentChoice {
  PresentPath path = PresentPath::Framebuffer;
  ScaleFilter filter = ScaleFilter::Linear;
  bool operator==(const PresentChoice&) const = default;
};

// A GPU filters bilinearly at no cost; the CPU does so by default only where its
// filter fits the presenting budget (cpuLinearFits: the AVX2 code, measured at
// about the cost of nearest neighbour; the SSSE3 and portable code cost more
// than the whole presenting floor at 1920 x 1080). scale: BRISVANE_SCALE
// ("nearest" or "linear"; anything else is ignored) overrides the filter.
// present: BRISVANE_PRESENT ("framebuffer" or "texture") forces the path, for
// measuring; "texture" is honoured only where a renderer exists.
PresentChoice ChoosePresenting(const RendererFacts& facts, const std::string& scale, const std::string& present,
                               bool cpuLinearFits);

// "cpu-linear", "cpu-nearest", "gpu-linear", "gpu-nearest", or "texture-..." for
// a texture on a software renderer (forced).
std::string DescribeChoice(const PresentChoice& choice, const RendererFacts& facts);

}  // namespace platform
