// The sprites' per-frame copy against a memcpy of the same rows (the ratio is
// the "x_memcpy" counter), and the one-off cost of cutting the water strip, a
// 1024 x 6880 JPEG, into its 32 frame surfaces.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include "components/Wim.h"
#include "components/Wmv.h"
#include "support/HeadlessEnvironment.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Scene {
  testing_support::HeadlessEnvironment env;
  framework::TForm* form = nullptr;
  components::TWss* wss = nullptr;
  Scene() {
    env.app->CreateForm(&form);
    wss = new components::TWss(form);
    wss->SetParent(form);
    wss->SetUseIdle(false);
    wss->SetWidthScreen(1024);
    wss->SetHeightScreen(768);
    wss->SetColorDepth(32);
    wss->SetEnabled(true);
  }
  ~Scene() { wss->SetEnabled(false); }
};

// Smooth colours with a black border a third of the time, like the scene's sprites.
framework::TBitmap Painting(int w, int h, bool blackBackground) {
  framework::TBitmap b(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool outside = blackBackground && ((x * 7 + y * 3) % 10) < 4;
      const auto r = static_cast<std::uint32_t>(128 + 100 * std::sin(x * 0.05));
      const auto g = static_cast<std::uint32_t>(128 + 100 * std::sin(y * 0.03));
      b.ScanLine(y)[x] = outside ? 0u : (r << 16 | g << 8 | static_cast<std::uint32_t>((x + y) & 0xFF) | 0x010101);
    }
  }
  return b;
}

// Times the sprite's draw and a memcpy of the same rows on the same surfaces.
template <class Draw>
void CopyAgainstMemcpy(benchmark::State& state, Scene& scene, int w, int h, int x, int y, Draw draw) {
  platform::IDirectDrawSurface* back = scene.wss->FDDBACK.load();
  std::vector<std::uint32_t> source(static_cast<std::size_t>(w) * h, 0x00123456);
  double blitSeconds = 0, memcpySeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    draw();
    const auto t1 = Clock::now();
    for (int row = 0; row < h; ++row)
      std::memcpy(back->Pixels() + static_cast<std::size_t>(y + row) * back->Pitch() + x,
                  source.data() + static_cast<std::size_t>(row) * w, static_cast<std::size_t>(w) * 4);
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    const double b = std::chrono::duration<double>(t1 - t0).count();
    blitSeconds += b;
    memcpySeconds += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(b);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(w) * h * 4);
  state.counters["x_memcpy"] = memcpySeconds > 0 ? blitSeconds / memcpySeconds : 0;
}

void BM_WimBackgroundPlain(benchmark::State& state) {
  Scene scene;
  auto* s = new components::TWIM(scene.form);
  s->SetParent(scene.wss);
  s->Picture()->Assign(Painting(1024, 768, false));
  s->CreateDXImage();
  CopyAgainstMemcpy(state, scene, 1023, 767, 0, 0, [&] { s->DrawImage(); });
}
BENCHMARK(BM_WimBackgroundPlain)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_WimTreeKeyed(benchmark::State& state) {
  Scene scene;
  auto* s = new components::TWIM(scene.form);
  s->SetParent(scene.wss);
  s->Picture()->Assign(Painting(644, 341, true));
  s->CreateDXImage();
  s->SetTransparency(true);
  s->SetShowX(379);
  s->SetShowY(119);
  CopyAgainstMemcpy(state, scene, 644, 341, 379, 119, [&] { s->DrawImage(); });
}
BENCHMARK(BM_WimTreeKeyed)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_WmvWaterFramePlain(benchmark::State& state) {
  Scene scene;
  auto* s = new components::TWMV(scene.form);
  s->SetParent(scene.wss);
  s->Picture()->Assign(Painting(1024, 215 * 4, false));
  s->SetYOffsetFrame(215);
  s->CreateDXMovie();
  s->SetShowY(553);
  int frame = 0;
  CopyAgainstMemcpy(state, scene, 1023, 214, 0, 553, [&] {
    s->SetNumberFrame(frame++ & 3);
    s->DrawMovie();
  });
}
BENCHMARK(BM_WmvWaterFramePlain)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_WmvBirdKeyed(benchmark::State& state) {
  Scene scene;
  auto* s = new components::TWMV(scene.form);
  s->SetParent(scene.wss);
  s->Picture()->Assign(Painting(38, 2904, true));
  s->SetYOffsetFrame(24);
  s->CreateDXMovie();
  s->SetTransparency(true);
  s->SetShowX(300);
  s->SetShowY(200);
  int frame = 0;
  CopyAgainstMemcpy(state, scene, 38, 24, 300, 200, [&] {
    s->SetNumberFrame(frame++ % 121);
    s->DrawMovie();
  });
}
BENCHMARK(BM_WmvBirdKeyed)->UseManualTime()->Unit(benchmark::kNanosecond);

// A 1024 x 6880 JPEG, encoded once per process.
const std::vector<std::uint8_t>& WaterStripJpeg() {
  static const std::vector<std::uint8_t> bytes = [] {
    const framework::TBitmap picture = Painting(1024, 6880, false);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 1024;
    cinfo.image_height = 6880;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<std::uint32_t*>(picture.ScanLine(static_cast<int>(cinfo.next_scanline))));
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> v(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&cinfo);
    return v;
  }();
  return bytes;
}

void BM_WaterStripDecode(benchmark::State& state) {
  const auto& jpeg = WaterStripJpeg();
  for (auto _ : state) {
    framework::TPicture picture;
    benchmark::DoNotOptimize(picture.LoadFromBytes(jpeg));
  }
  state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}
BENCHMARK(BM_WaterStripDecode)->Unit(benchmark::kMillisecond);

// The water's 32 frames of 1024 x 215 cut at once from a held decoded strip
// (the scene cuts them from the picture's rows, each as it is first drawn).
void BM_WaterStripCutInto32Surfaces(benchmark::State& state) {
  Scene scene;
  auto* s = new components::TWMV(scene.form);
  s->SetParent(scene.wss);
  if (!s->Picture()->LoadFromBytes(WaterStripJpeg())) {
    state.SkipWithError("decoding failed");
    return;
  }
  s->SetYOffsetFrame(215);
  for (auto _ : state) {
    s->SetFDibBitmap(&s->Picture()->Bitmap());
    s->CreateDXMovie();
    state.PauseTiming();
    if (s->GetFrameCount() != 32 || !s->GetFrameSurface(31)) state.SkipWithError("frames missing");
    s->CloseDXMovie();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WaterStripCutInto32Surfaces)->Unit(benchmark::kMillisecond);

}  // namespace
