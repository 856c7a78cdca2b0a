#include "platform/PresentChoice.h"

#include <gtest/gtest.h>

namespace {

using platform::ChoosePresenting;
using platform::PresentPath;
using platform::RendererFacts;
using platform::ScaleFilter;

RendererFacts Gl(const std::string& device) { return {true, true, "opengl", true, device}; }

TEST(PresentChoice, ASoftwareRendererIsNeverTakenForAGpu) {
  struct Case {
    const char* what;
    RendererFacts facts;
    bool gpu;
  };
  const Case cases[] = {
      {"not probed (no GPU device)", {}, false},
      {"no accelerated renderer", {true, false, "", false, ""}, false},
      {"SDL's software renderer", {true, true, "software", false, ""}, false},
      {"software renderer claiming acceleration", {true, true, "software", true, ""}, false},
      {"llvmpipe", Gl("llvmpipe (LLVM 15.0.6, 256 bits)"), false},
      {"softpipe", Gl("softpipe"), false},
      {"swrast", Gl("Mesa DRI swrast"), false},
      {"classic software rasterizer", Gl("Software Rasterizer"), false},
      {"OpenGL that cannot name its device", Gl(""), false},
      {"GLES on llvmpipe", {true, true, "opengles2", true, "llvmpipe (LLVM 15.0.6, 256 bits)"}, false},
      {"Intel", Gl("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"), true},
      {"AMD", Gl("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)"), true},
      {"NVIDIA", Gl("NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2"), true},
      {"GLES on a GPU", {true, true, "opengles2", true, "Mali-G52"}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::IsSoftwareRenderer(c.facts), !c.gpu) << c.what;
    for (bool cpuLinearFits : {true, false}) {
      const auto choice = ChoosePresenting(c.facts, "", "", cpuLinearFits);
      EXPECT_EQ(choice.path, c.gpu ? PresentPath::Texture : PresentPath::Framebuffer) << c.what;
      // A GPU always filters bilinearly; the CPU only where its filter is fast enough.
      const char* want = c.gpu ? "gpu-linear" : cpuLinearFits ? "cpu-linear" : "cpu-nearest";
      EXPECT_EQ(platform::DescribeChoice(choice, c.facts), want) << c.what << " " << cpuLinearFits;
    }
  }
}

TEST(PresentChoice, TheOverridesPickTheFilterAndForceThePath) {
  const RendererFacts none;
  const RendererFacts llvmpipe = Gl("llvmpipe (LLVM 15.0.6, 256 bits)");
  const RendererFacts gpu = Gl("AMD Radeon RX 6600");
  struct Case {
    const RendererFacts* facts;
    const char* scale;
    const char* present;
    bool cpuLinearFits;
    PresentPath path;
    ScaleFilter filter;
    const char* described;
  };
  const Case cases[] = {
      {&none, "nearest", "", true, PresentPath::Framebuffer, ScaleFilter::Nearest, "cpu-nearest"},
      {&none, "NEAREST", "", true, PresentPath::Framebuffer, ScaleFilter::Nearest, "cpu-nearest"},
      {&none, "linear", "", true, PresentPath::Framebuffer, ScaleFilter::Linear, "cpu-linear"},
      {&none, "linear", "", false, PresentPath::Framebuffer, ScaleFilter::Linear, "cpu-linear"},
      {&none, "", "", false, PresentPath::Framebuffer, ScaleFilter::Nearest, "cpu-nearest"},
      {&none, "bicubic", "", true, PresentPath::Framebuffer, ScaleFilter::Linear, "cpu-linear"},  // unknown: ignored
      {&none, "bicubic", "", false, PresentPath::Framebuffer, ScaleFilter::Nearest, "cpu-nearest"},
      {&gpu, "nearest", "", true, PresentPath::Texture, ScaleFilter::Nearest, "gpu-nearest"},
      {&gpu, "", "", false, PresentPath::Texture, ScaleFilter::Linear, "gpu-linear"},
      {&gpu, "", "framebuffer", true, PresentPath::Framebuffer, ScaleFilter::Linear, "cpu-linear"},
      {&gpu, "", "framebuffer", false, PresentPath::Framebuffer, ScaleFilter::Nearest, "cpu-nearest"},
      {&llvmpipe, "", "texture", false, PresentPath::Texture, ScaleFilter::Linear, "texture-linear"},
      {&none, "", "texture", true, PresentPath::Framebuffer, ScaleFilter::Linear, "cpu-linear"},  // no renderer at all
      {&llvmpipe, "", "gpu", true, PresentPath::Framebuffer, ScaleFilter::Linear, "cpu-linear"},
  };
  for (const Case& c : cases) {
    const auto choice = ChoosePresenting(*c.facts, c.scale, c.present, c.cpuLinearFits);
    EXPECT_EQ(choice.path, c.path) << c.scale << " " << c.present;
    EXPECT_EQ(choice.filter, c.filter) << c.scale << " " << c.present;
    EXPECT_EQ(platform::DescribeChoice(choice, *c.facts), c.described) << c.scale << " " << c.present;
  }
}

}  // namespace
