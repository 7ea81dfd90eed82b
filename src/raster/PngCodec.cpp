// PNG through libpng: every colour type and depth read into blue, green, red, alpha (16-bit
// samples scaled to 8 bits, palettes and tRNS expanded, grey spread to three channels, no gamma
// applied); written as 8-bit RGBA, or RGB without alpha, every row with the Sub filter.
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

namespace {

struct TPngWrite {
  std::vector<std::uint8_t>* bytes;
  char message[256];
};

void WriteBytes(png_structp png, png_bytep data, png_size_t n) {
  auto* w = static_cast<TPngWrite*>(png_get_io_ptr(png));
  w->bytes->insert(w->bytes->end(), data, data + n);
}
void Flush(png_structp) {}
void OnWriteError(png_structp png, png_const_charp text) {
  auto* w = static_cast<TPngWrite*>(png_get_error_ptr(png));
  std::snprintf(w->message, sizeof w->message, "%s", text);
  png_longjmp(png, 1);
}

// rowBuffer: one row of w pixels, for the straight-alpha conversion (nullptr: rows as they are).
bool Write(png_structp png, png_infop info, const std::uint8_t* bgra, int w, int h, bool withAlpha,
           std::uint8_t* rowBuffer) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // One filter for every row and a quick deflate level: libpng's choice per row (all five tried)
  // and level 6 take four times as long on a graphics frame, for files a fifth to a third smaller.
  png_set_filter(png, 0, PNG_FILTER_SUB);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  png_set_bgr(png);
  if (!withAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);  // rows keep their 4th byte; it is dropped
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = bgra + std::size_t(y) * std::size_t(w) * 4;
    if (rowBuffer) {
      UnpremultiplyRow(row, rowBuffer, w);
      row = rowBuffer;
    }
    png_write_row(png, const_cast<png_bytep>(row));
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const std::string& name, const std::uint8_t* bgra, int w, int h, bool withAlpha,
                                    bool straighten) {
  std::vector<std::uint8_t> bytes;
  TPngWrite out{&bytes, "write failed"};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out, OnWriteError, OnWarning);
  if (!png) throw std::bad_alloc();
  png_infop info = png_create_info_struct(png);
  const TAtExit free{[&] { png_destroy_write_struct(&png, &info); }};
  if (!info) throw std::bad_alloc();
  png_set_write_fn(png, &out, WriteBytes, Flush);
  std::vector<std::uint8_t> rowBuffer(straighten ? std::size_t(w) * 4 : 0);
  if (!Write(png, info, bgra, w, h, withAlpha, straighten ? rowBuffer.data() : nullptr))
    throw EImageError(name, std::string("cannot write the image: ") + out.message);
  return bytes;
}

// One table of every (alpha, premultiplied colour) pair: the row loop is a lookup per byte.
namespace {
struct TStraightTable {
  std::uint8_t v[256][256];
  TStraightTable() {
    for (unsigned a = 0; a < 256; ++a) {
      for (unsigned c = 0; c < 256; ++c) {
        const unsigned s = a == 255 ? c : a == 0 ? 0 : (c * 255u + a / 2) / a;
        v[a][c] = static_cast<std::uint8_t>(s > 255 ? 255 : s);
      }
    }
  }
};
}  // namespace

void UnpremultiplyRow(const std::uint8_t* from, std::uint8_t* to, int w) {
  static const TStraightTable table;
  for (int x = 0; x < w; ++x, from += 4, to += 4) {
    const auto& row = table.v[from[3]];
    to[0] = row[from[0]];
    to[1] = row[from[1]];
    to[2] = row[from[2]];
    to[3] = from[3];
  }
}

}  // namespace qv::image
