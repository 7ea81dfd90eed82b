// JPEG through libjpeg(-turbo): colour and grey baseline or progressive files straight into blue,
// green, red, alpha (libjpeg-turbo's extended colour spaces); CMYK and YCCK (Adobe's inverted
// ink values) converted to RGB here. A file that ends before its last scan is damaged, although
// libjpeg would fill the rest with grey and only warn.
#include <cstdio>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "raster/ImageFormats.h"

namespace qv::image {

namespace {

struct TJpegErrors {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool cutShort;
};

void OnError(j_common_ptr c) {
  auto* e = reinterpret_cast<TJpegErrors*>(c->err);
  (*c->err->format_message)(c, e->message);
  std::longjmp(e->jump, 1);
}

// Warnings: only "premature end of data" matters to us; the rest (stray bytes between markers)
// libjpeg gets over.
void OnMessage(j_common_ptr c, int level) {
  auto* e = reinterpret_cast<TJpegErrors*>(c->err);
  if (level < 0 && c->err->msg_code == JWRN_JPEG_EOF && !e->cutShort) {
    e->cutShort = true;
    (*c->err->format_message)(c, e->message);
  }
}

// Everything libjpeg does for us, between one setjmp and its calls: nothing here has a destructor.
bool Header(jpeg_decompress_struct& c, TJpegErrors& e, const TImageInput& in, int& w, int& h) {
  if (setjmp(e.jump)) return false;
  jpeg_mem_src(&c, in.data, static_cast<unsigned long>(in.size));  // refuses an empty input
  jpeg_read_header(&c, TRUE);
  if (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK)
    c.out_color_space = JCS_CMYK;
  else
    c.out_color_space = JCS_EXT_BGRA;  // grey and YCbCr alike
  jpeg_calc_output_dimensions(&c);
  w = int(c.output_width);
  h = int(c.output_height);
  return true;
}

bool Pixels(jpeg_decompress_struct& c, TJpegErrors& e, std::uint8_t* bits, int w) {
  if (setjmp(e.jump)) return false;
  jpeg_start_decompress(&c);
  while (c.output_scanline < c.output_height) {
    JSAMPROW row = bits + std::size_t(c.output_scanline) * std::size_t(w) * 4;
    if (jpeg_read_scanlines(&c, &row, 1) != 1) break;
  }
  jpeg_finish_decompress(&c);
  return true;
}

}  // namespace

void DecodeJpeg(const TImageInput& in, const TImageFormat& format, TDecoded& out) {
  jpeg_decompress_struct c;
  TJpegErrors e{};
  c.err = jpeg_std_error(&e.mgr);
  e.mgr.error_exit = OnError;
  e.mgr.emit_message = OnMessage;
  jpeg_create_decompress(&c);
  struct TFree {
    jpeg_decompress_struct* c;
    ~TFree() { jpeg_destroy_decompress(c); }
  } free{&c};
  int w = 0, h = 0;
  if (!Header(c, e, in, w, h)) ThrowDamaged(in.name, format, e.message);
  std::uint8_t* bits = Reserve(out, in.name, w, h);
  if (!Pixels(c, e, bits, w)) ThrowDamaged(in.name, format, e.message);
  if (e.cutShort) ThrowDamaged(in.name, format, e.message);
  if (c.out_color_space == JCS_CMYK) {
    // Adobe writes inverted inks: each byte is already 255 - ink; colour = byte * K / 255.
    const bool inverted = c.saw_Adobe_marker;
    for (std::size_t i = 0, n = std::size_t(w) * std::size_t(h); i < n; ++i) {
      std::uint8_t* p = bits + 4 * i;
      std::uint32_t cc = p[0], m = p[1], y = p[2], k = p[3];
      if (!inverted) cc = 255 - cc, m = 255 - m, y = 255 - y, k = 255 - k;
      const std::uint8_t r = std::uint8_t((cc * k + 127) / 255), g = std::uint8_t((m * k + 127) / 255),
                         b = std::uint8_t((y * k + 127) / 255);
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = 255;
    }
  }
  out.bgra = true;
}

}  // namespace qv::image
