// JPEG through libjpeg. Its errors arrive through a longjmp out of the
// library, so the decoding step keeps no C++ objects of its own on the stack;
// warnings (corrupt or truncated data) count as errors.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

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
};

std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Everything that may longjmp lives here; the caller owns the objects.
bool Decode(jpeg_decompress_struct* cinfo, JpegErrors* errors, std::span<const std::uint8_t> bytes,
            std::vector<std::uint32_t>* pixels, JpegInfo* info) {
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
  const std::size_t w = cinfo->output_width;
  pixels->resize(w * cinfo->output_height);
  JSAMPARRAY scratch = nullptr;
  if (info->cmyk) scratch = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, w * 4, 1);
  while (cinfo->output_scanline < cinfo->output_height) {
    std::uint32_t* row = pixels->data() + cinfo->output_scanline * w;
    if (!info->cmyk) {
      JSAMPROW target = reinterpret_cast<JSAMPROW>(row);
      if (jpeg_read_scanlines(cinfo, &target, 1) != 1) return false;
      continue;
    }
    if (jpeg_read_scanlines(cinfo, scratch, 1) != 1) return false;
    const JSAMPLE* s = scratch[0];
    for (std::size_t x = 0; x < w; ++x, s += 4) {
      // Adobe writes CMYK inverted; then the stored values already are 255 - ink.
      int c = s[0], m = s[1], y = s[2], k = s[3];
      if (!info->adobe) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      row[x] = 0xFF000000u | (static_cast<std::uint32_t>(Byte(c * k / 255)) << 16) |
               (static_cast<std::uint32_t>(Byte(m * k / 255)) << 8) | Byte(y * k / 255);
    }
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

std::optional<DecodedPicture> DecodeJpeg(std::span<const std::uint8_t> bytes, std::string* error) {
  if (bytes.empty()) return PictureFailure(error, "JPEG: no data");
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ExitWithError;
  errors.pub.emit_message = EmitMessage;
  errors.message[0] = '\0';
  jpeg_create_decompress(&cinfo);
  DecodedPicture out;
  JpegInfo info;
  const bool ok = Decode(&cinfo, &errors, bytes, &out.pixels, &info);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) {
    if (info.refused) return PictureFailure(error, info.refused);
    return PictureFailure(error, std::string("JPEG: ") + (errors.message[0] ? errors.message : "decoding failed"));
  }
  out.kind = PictureKind::Jpeg;
  out.width = info.width;
  out.height = info.height;
  out.bitsPerPixel = 8 * info.components;
  return out;
}

}  // namespace platform
