// JPEG through libjpeg. Its errors arrive through a longjmp out of the
// library, so each decoding step keeps no C++ objects of its own on the stack;
// warnings (corrupt or truncated data) count as errors.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include <jpeglib.h>

#include "platform/Allocator.h"
#include "platform/PictureFormats.h"

namespace platform {
namespace {

struct JpegErrors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ExitWithError(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) ExitWithError(cinfo);  // a warning means damaged data
}

struct JpegInfo {
  int width = 0, height = 0, components = 0;
  bool cmyk = false, adobe = false;
  const char* refused = nullptr;  // set when the header is well formed but not acceptable
  JSAMPARRAY scratch = nullptr;   // a CMYK row before conversion
};

std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Each step that may longjmp is one function holding no C++ objects.
bool Start(jpeg_decompress_struct* cinfo, JpegErrors* errors, std::span<const std::uint8_t> bytes, JpegInfo* info) {
  if (setjmp(errors->jump)) return false;
  jpeg_mem_src(cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(cinfo, TRUE);
  info->width = static_cast<int>(cinfo->image_width);
  info->height = static_cast<int>(cinfo->image_height);
  info->components = cinfo->num_components;
  if (!PictureSizeAllowed(cinfo->image_width, cinfo->image_height)) {
    info->refused = "JPEG: width or height out of range";
    return false;
  }
  info->cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  info->adobe = cinfo->saw_Adobe_marker;
  cinfo->out_color_space = info->cmyk ? JCS_CMYK : JCS_EXT_BGRA;  // BGRA in memory is 0xAARRGGBB
  cinfo->mem->max_memory_to_use = 512L * 1024 * 1024;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
      cinfo->output_components != 4) {
    info->refused = "JPEG: unexpected output format";
    return false;
  }
  if (info->cmyk)
    info->scratch = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                cinfo->output_width * 4, 1);
  return true;
}

bool ReadRows(jpeg_decompress_struct* cinfo, JpegErrors* errors, const JpegInfo* info, std::uint32_t* out,
              int count) {
  if (setjmp(errors->jump)) return false;
  const std::size_t w = cinfo->output_width;
  for (int i = 0; i < count; ++i) {
    std::uint32_t* row = out + static_cast<std::size_t>(i) * w;
    if (!info->cmyk) {
      JSAMPROW target = reinterpret_cast<JSAMPROW>(row);
      if (jpeg_read_scanlines(cinfo, &target, 1) != 1) return false;
      continue;
    }
    if (jpeg_read_scanlines(cinfo, info->scratch, 1) != 1) return false;
    const JSAMPLE* s = info->scratch[0];
    for (std::size_t x = 0; x < w; ++x, s += 4) {
      // Adobe writes CMYK inverted; then the stored values already are 255 - ink.
      int c = s[0], m = s[1], y = s[2], k = s[3];
      if (!info->adobe) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      row[x] = 0xFF000000u | (static_cast<std::uint32_t>(Byte(c * k / 255)) << 16) |
               (static_cast<std::uint32_t>(Byte(m * k / 255)) << 8) | Byte(y * k / 255);
    }
  }
  return true;
}

bool Finish(jpeg_decompress_struct* cinfo, JpegErrors* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

struct JpegRows::State {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  JpegInfo info;
  bool failed = false;
  std::string error;
  State() {
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = ExitWithError;
    errors.pub.emit_message = EmitMessage;
    errors.message[0] = '\0';
    jpeg_create_decompress(&cinfo);
  }
  ~State() { jpeg_destroy_decompress(&cinfo); }
  void Fail() {
    failed = true;
    if (info.refused) error = info.refused;
    else error = std::string("JPEG: ") + (errors.message[0] ? errors.message : "decoding failed");
  }
};

JpegRows::JpegRows(std::unique_ptr<State> state) : state_(std::move(state)) {}
JpegRows::~JpegRows() = default;

std::unique_ptr<JpegRows> JpegRows::Open(std::span<const std::uint8_t> bytes, std::string* error) {
  if (bytes.empty()) {
    if (error) *error = "JPEG: no data";
    return nullptr;
  }
  auto state = std::make_unique<State>();
  if (!Start(&state->cinfo, &state->errors, bytes, &state->info)) {
    state->Fail();
    if (error) *error = state->error;
    return nullptr;
  }
  return std::unique_ptr<JpegRows>(new JpegRows(std::move(state)));
}

int JpegRows::Width() const { return state_->info.width; }
int JpegRows::Height() const { return state_->info.height; }
int JpegRows::Components() const { return state_->info.components; }
int JpegRows::NextRow() const { return static_cast<int>(state_->cinfo.output_scanline); }
const std::string& JpegRows::Error() const { return state_->error; }

bool JpegRows::Read(std::uint32_t* out, int count) {
  State& s = *state_;
  if (s.failed || count < 0 || count > Height() - NextRow()) {
    if (!s.failed) s.error = "JPEG: no more rows";
    s.failed = true;
    return false;
  }
  if (!ReadRows(&s.cinfo, &s.errors, &s.info, out, count) ||
      (NextRow() == Height() && !Finish(&s.cinfo, &s.errors))) {
    s.Fail();
    return false;
  }
  return true;
}

std::optional<DecodedPicture> DecodeJpeg(std::span<const std::uint8_t> bytes, std::string* error) {
  auto rows = JpegRows::Open(bytes, error);
  if (!rows) return std::nullopt;
  DecodedPicture out;
  AssignBacked(out.pixels, static_cast<std::size_t>(rows->Width()) * rows->Height(), 0u);
  if (!rows->Read(out.pixels.data(), rows->Height())) return PictureFailure(error, rows->Error());
  out.kind = PictureKind::Jpeg;
  out.width = rows->Width();
  out.height = rows->Height();
  out.bitsPerPixel = 8 * rows->Components();
  return out;
}

}  // namespace platform
