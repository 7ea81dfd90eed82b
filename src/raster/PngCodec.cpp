// PNG read through libpng: every colour type and depth into blue, green, red, alpha (16-bit
// samples scaled to 8 bits, palettes and tRNS expanded, grey spread to three channels, no gamma
// applied). Our own writer is in PngWriter.cpp.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "raster/ImageFormats.h"

namespace qv::image {

namespace {

// Runs f when the scope ends (libpng's structures are freed by calls of its own).
template <class F>
struct TAtExit {
  F f;
  ~TAtExit() { f(); }
};
template <class F>
TAtExit(F) -> TAtExit<F>;

// What libpng's callbacks share with us. libpng reports errors by longjmp: the functions that
// call it hold nothing that needs a destructor between setjmp and the calls.
struct TPngRead {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
  char message[256];
};

void ReadBytes(png_structp png, png_bytep to, png_size_t n) {
  auto* r = static_cast<TPngRead*>(png_get_io_ptr(png));
  if (r->size - r->at < n) png_error(png, "the file is cut short");
  std::memcpy(to, r->data + r->at, n);
  r->at += n;
}

void OnError(png_structp png, png_const_charp text) {
  auto* r = static_cast<TPngRead*>(png_get_error_ptr(png));
  std::snprintf(r->message, sizeof r->message, "%s", text);
  png_longjmp(png, 1);
}
void OnWarning(png_structp, png_const_charp) {}

// The header: size and transformations. Returns false (with the message set) on an error.
bool ReadHeader(png_structp png, png_infop info, png_uint_32& w, png_uint_32& h) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);  // our own limits apply, below
  png_read_info(png, info);
  w = png_get_image_width(png, info);
  h = png_get_image_height(png, info);
  const int type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (depth == 16) png_set_scale_16(png);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool ReadPixels(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, info);  // checks what follows the pixels (the last chunk's checksum)
  return true;
}

}  // namespace

void DecodePng(const TImageInput& in, const TImageFormat& format, TDecoded& out) {
  TPngRead r{in.data, in.size, 0, "cannot read the header"};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, OnError, OnWarning);
  if (!png) throw std::bad_alloc();
  png_infop info = png_create_info_struct(png);
  const TAtExit free{[&] { png_destroy_read_struct(&png, &info, nullptr); }};
  if (!info) throw std::bad_alloc();
  png_set_read_fn(png, &r, ReadBytes);
  png_uint_32 w = 0, h = 0;
  if (!ReadHeader(png, info, w, h)) ThrowDamaged(in.name, format, r.message);
  std::uint8_t* bits = Reserve(out, in.name, w, h);
  std::vector<png_bytep> rows(h);
  for (png_uint_32 y = 0; y < h; ++y) rows[y] = bits + std::size_t(y) * w * 4;
  if (!ReadPixels(png, info, rows.data())) ThrowDamaged(in.name, format, r.message);
  out.bgra = true;
}

}  // namespace qv::image
