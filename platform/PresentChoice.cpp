#include "platform/PresentChoice.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Renderer strings of rasterisers that run on the CPU.
constexpr const char* kSoftwareDevices[] = {"llvmpipe", "softpipe", "swrast", "software rasterizer", "lavapipe",
                                            "swiftshader", "swr"};

}  // namespace

bool IsSoftwareRenderer(const RendererFacts& facts) {
  if (!facts.found || !facts.accelerated) return true;
  const std::string name = Lower(facts.name);
  if (name.empty() || name == "software") return true;
  // An OpenGL renderer that cannot name its device may be anything: not trusted.
  const bool gl = name.rfind("opengl", 0) == 0;
  if (gl && facts.device.empty()) return true;
  const std::string device = Lower(facts.device);
  for (const char* soft : kSoftwareDevices)
    if (device.find(soft) != std::string::npos) return true;
  return false;
}

PresentChoice ChoosePresenting(const RendererFacts& facts, const std::string& scale, const std::string& present,
                               bool cpuLinearFits) {
  PresentChoice choice;
  const std::string force = Lower(present);
  if (force == "texture" && facts.found)
    choice.path = PresentPath::Texture;
  else if (force != "framebuffer" && !IsSoftwareRenderer(facts))
    choice.path = PresentPath::Texture;
  const std::string filter = Lower(scale);
  if (filter == "nearest")
    choice.filter = ScaleFilter::Nearest;
  else if (filter == "linear" || choice.path == PresentPath::Texture || cpuLinearFits)
    choice.filter = ScaleFilter::Linear;
  else
    choice.filter = ScaleFilter::Nearest;
  return choice;
}

std::string DescribeChoice(const PresentChoice& choice, const RendererFacts& facts) {
  const char* filter = choice.filter == ScaleFilter::Linear ? "linear" : "nearest";
  if (choice.path == PresentPath::Framebuffer) return std::string("cpu-") + filter;
  return std::string(IsSoftwareRenderer(facts) ? "texture-" : "gpu-") + filter;
}

}  // namespace platform
