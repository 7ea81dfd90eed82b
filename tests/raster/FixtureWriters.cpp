#include "FixtureWriters.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

namespace qv::test {

Rgba KnownPicture(int w, int h) {
  Rgba p{w, h, std::vector<std::uint8_t>(std::size_t(w) * h * 4)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* q = p.at(x, y);
      q[0] = std::uint8_t(17 * x + 3 * y + 5);
      q[1] = std::uint8_t(40 * y + x);
      q[2] = std::uint8_t(250 - 13 * x - 7 * y);
      q[3] = std::uint8_t(255 - 20 * x - 10 * y);
    }
  p.at(0, 0)[3] = 255;
  p.at(w - 1, h - 1)[3] = 0;
  return p;
}

Rgba Quadrants(int w, int h) {
  Rgba p{w, h, std::vector<std::uint8_t>(std::size_t(w) * h * 4)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int q = (y >= h / 2) * 2 + (x >= w / 2);
      static const std::uint8_t colors[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
      std::uint8_t* d = p.at(x, y);
      d[0] = colors[q][0];
      d[1] = colors[q][1];
      d[2] = colors[q][2];
      d[3] = 255;
    }
  return p;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

namespace {

void Put16(std::vector<std::uint8_t>& v, int x) {
  v.push_back(std::uint8_t(x & 0xFF));
  v.push_back(std::uint8_t((x >> 8) & 0xFF));
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, int(x & 0xFFFF));
  Put16(v, int(x >> 16));
}

// Distinct colours in first-seen order, and each pixel's index.
struct Palette {
  std::vector<std::uint32_t> colors;  // RGBA packed r | g << 8 | b << 16 | a << 24
  std::vector<int> index;
};
Palette MakePalette(const Rgba& pic) {
  Palette p;
  std::map<std::uint32_t, int> seen;
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      const std::uint8_t* q = pic.at(x, y);
      const std::uint32_t c = q[0] | (q[1] << 8) | (q[2] << 16) | (std::uint32_t(q[3]) << 24);
      auto [it, fresh] = seen.emplace(c, int(p.colors.size()));
      if (fresh) p.colors.push_back(c);
      p.index.push_back(it->second);
    }
  if (p.colors.size() > 256) throw std::runtime_error("too many colours for a palette");
  return p;
}

}  // namespace

std::vector<std::uint8_t> EncodeTga(const Rgba& pic, const TgaOptions& o) {
  const bool mapped = o.kind == TgaKind::ColorMapped;
  const Palette pal = mapped ? MakePalette(pic) : Palette{};
  const int entryBits = 24;  // the codec ignores the alpha of 32-bit palette entries
  const int bytesPP = o.kind == TgaKind::TrueColor ? o.bpp / 8 : 1;
  std::vector<std::uint8_t> v;
  v.push_back(0);                 // no image ID
  v.push_back(mapped ? 1 : 0);    // colour map
  const int type = o.kind == TgaKind::TrueColor ? 2 : (o.kind == TgaKind::Grey ? 3 : 1);
  v.push_back(std::uint8_t(type + (o.rle ? 8 : 0)));
  Put16(v, 0);
  Put16(v, mapped ? int(pal.colors.size()) : 0);
  v.push_back(mapped ? entryBits : 0);
  Put16(v, 0);
  Put16(v, 0);
  Put16(v, pic.w);
  Put16(v, pic.h);
  v.push_back(std::uint8_t(o.kind == TgaKind::TrueColor ? o.bpp : 8));
  const int alphaBits = o.kind == TgaKind::TrueColor && o.bpp == 32 ? 8 : 0;
  v.push_back(std::uint8_t(alphaBits | (o.topLeft ? 0x20 : 0)));
  if (mapped)
    for (std::uint32_t c : pal.colors) {
      v.push_back(std::uint8_t(c >> 16));  // blue
      v.push_back(std::uint8_t(c >> 8));
      v.push_back(std::uint8_t(c));
    }
  auto pixelBytes = [&](int x, int y) {
    std::vector<std::uint8_t> b;
    const std::uint8_t* q = pic.at(x, y);
    if (o.kind == TgaKind::Grey) b = {q[0]};
    else if (mapped) b = {std::uint8_t(pal.index[std::size_t(y) * pic.w + x])};
    else {
      b = {q[2], q[1], q[0]};
      if (bytesPP == 4) b.push_back(q[3]);
    }
    return b;
  };
  for (int i = 0; i < pic.h; ++i) {
    const int y = o.topLeft ? i : pic.h - 1 - i;
    if (!o.rle) {
      for (int x = 0; x < pic.w; ++x) {
        auto b = pixelBytes(x, y);
        v.insert(v.end(), b.begin(), b.end());
      }
      continue;
    }
    // Run packets for repeats, raw packets otherwise, never crossing a row.
    int x = 0;
    while (x < pic.w) {
      int run = 1;
      while (x + run < pic.w && run < 128 && pixelBytes(x + run, y) == pixelBytes(x, y)) ++run;
      if (run > 1) {
        v.push_back(std::uint8_t(0x80 | (run - 1)));
        auto b = pixelBytes(x, y);
        v.insert(v.end(), b.begin(), b.end());
        x += run;
        continue;
      }
      int raw = 1;
      while (x + raw < pic.w && raw < 128 &&
             !(x + raw + 1 < pic.w && pixelBytes(x + raw, y) == pixelBytes(x + raw + 1, y)))
        ++raw;
      v.push_back(std::uint8_t(raw - 1));
      for (int k = 0; k < raw; ++k) {
        auto b = pixelBytes(x + k, y);
        v.insert(v.end(), b.begin(), b.end());
      }
      x += raw;
    }
  }
  return v;
}

namespace {
void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void PngFlush(png_structp) {}
}  // namespace

std::vector<std::uint8_t> EncodePng(const Rgba& pic, const PngOptions& o) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng failed");
  }
  png_set_write_fn(png, &out, PngWrite, PngFlush);
  int type = PNG_COLOR_TYPE_RGBA, channels = 4;
  switch (o.kind) {
    case PngKind::Rgb: type = PNG_COLOR_TYPE_RGB; channels = 3; break;
    case PngKind::Rgba: type = PNG_COLOR_TYPE_RGBA; channels = 4; break;
    case PngKind::Grey: type = PNG_COLOR_TYPE_GRAY; channels = 1; break;
    case PngKind::GreyAlpha: type = PNG_COLOR_TYPE_GRAY_ALPHA; channels = 2; break;
    case PngKind::Palette: type = PNG_COLOR_TYPE_PALETTE; channels = 1; break;
  }
  const int depth = o.kind == PngKind::Palette ? 8 : o.depth;
  png_set_IHDR(png, info, png_uint_32(pic.w), png_uint_32(pic.h), depth, type,
               o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  const Palette pal = o.kind == PngKind::Palette ? MakePalette(pic) : Palette{};
  std::vector<png_color> entries;
  std::vector<png_byte> alphas;
  if (o.kind == PngKind::Palette) {
    for (std::uint32_t c : pal.colors) {
      entries.push_back(png_color{png_byte(c), png_byte(c >> 8), png_byte(c >> 16)});
      alphas.push_back(png_byte(c >> 24));
    }
    png_set_PLTE(png, info, entries.data(), int(entries.size()));
    png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
  }
  if (o.gamma) png_set_gAMA(png, info, 1.0 / 2.2);
  png_write_info(png, info);
  const int bytesPerSample = depth / 8;
  std::vector<std::vector<png_byte>> rows(std::size_t(pic.h),
                                          std::vector<png_byte>(std::size_t(pic.w) * channels * bytesPerSample));
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      const std::uint8_t* q = pic.at(x, y);
      std::uint8_t s[4];
      int n = 0;
      switch (o.kind) {
        case PngKind::Rgb: s[0] = q[0]; s[1] = q[1]; s[2] = q[2]; n = 3; break;
        case PngKind::Rgba: std::memcpy(s, q, 4); n = 4; break;
        case PngKind::Grey: s[0] = q[0]; n = 1; break;
        case PngKind::GreyAlpha: s[0] = q[0]; s[1] = q[3]; n = 2; break;
        case PngKind::Palette: s[0] = std::uint8_t(pal.index[std::size_t(y) * pic.w + x]); n = 1; break;
      }
      png_byte* d = &rows[std::size_t(y)][std::size_t(x) * channels * bytesPerSample];
      for (int c = 0; c < n; ++c) {
        if (bytesPerSample == 2) {  // v * 257, big-endian
          d[2 * c] = s[c];
          d[2 * c + 1] = s[c];
        } else {
          d[c] = s[c];
        }
      }
    }
  std::vector<png_bytep> ptrs;
  for (auto& r : rows) ptrs.push_back(r.data());
  png_write_image(png, ptrs.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<std::uint8_t> EncodeJpeg(const Rgba& pic, const JpegOptions& o) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(pic.w);
  c.image_height = JDIMENSION(pic.h);
  c.input_components = o.grey ? 1 : 3;
  c.in_color_space = o.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  if (!o.grey)
    for (int i = 0; i < 3; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;  // 4:4:4
  if (o.progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> row(std::size_t(pic.w) * 3);
  while (c.next_scanline < c.image_height) {
    const int y = int(c.next_scanline);
    for (int x = 0; x < pic.w; ++x) {
      const std::uint8_t* q = pic.at(x, y);
      if (o.grey) row[std::size_t(x)] = q[0];
      else std::memcpy(&row[std::size_t(x) * 3], q, 3);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::vector<std::uint8_t> out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

std::vector<std::uint8_t> EncodeBmp24(const Rgba& pic) {
  const int rowBytes = (pic.w * 3 + 3) & ~3;
  const std::uint32_t dataSize = std::uint32_t(rowBytes * pic.h);
  std::vector<std::uint8_t> v = {'B', 'M'};
  Put32(v, 14 + 40 + dataSize);
  Put32(v, 0);
  Put32(v, 14 + 40);
  Put32(v, 40);
  Put32(v, std::uint32_t(pic.w));
  Put32(v, std::uint32_t(pic.h));  // positive: bottom row first
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);
  Put32(v, dataSize);
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  for (int i = 0; i < pic.h; ++i) {
    const int y = pic.h - 1 - i;
    for (int x = 0; x < pic.w; ++x) {
      const std::uint8_t* q = pic.at(x, y);
      v.push_back(q[2]);
      v.push_back(q[1]);
      v.push_back(q[0]);
    }
    for (int k = pic.w * 3; k < rowBytes; ++k) v.push_back(0);
  }
  return v;
}

std::vector<std::uint8_t> EncodeGif(const Rgba& pic) {
  // Palette: transparent pixels share index 0; the others get their own colour.
  Palette pal;
  std::map<std::uint32_t, int> seen;
  pal.colors.push_back(0);
  for (int y = 0; y < pic.h; ++y)
    for (int x = 0; x < pic.w; ++x) {
      const std::uint8_t* q = pic.at(x, y);
      if (q[3] == 0) {
        pal.index.push_back(0);
        continue;
      }
      const std::uint32_t c = q[0] | (q[1] << 8) | (q[2] << 16);
      auto [it, fresh] = seen.emplace(c, int(pal.colors.size()));
      if (fresh) pal.colors.push_back(c);
      pal.index.push_back(it->second);
    }
  std::vector<std::uint8_t> v = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(v, pic.w);
  Put16(v, pic.h);
  v.push_back(0xF7);  // global table of 256 entries
  v.push_back(0);
  v.push_back(0);
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t c = i < int(pal.colors.size()) ? pal.colors[std::size_t(i)] : 0;
    v.push_back(std::uint8_t(c));
    v.push_back(std::uint8_t(c >> 8));
    v.push_back(std::uint8_t(c >> 16));
  }
  // Graphic control extension: index 0 is transparent.
  v.insert(v.end(), {0x21, 0xF9, 0x04, 0x01, 0, 0, 0, 0});
  v.push_back(0x2C);
  Put16(v, 0);
  Put16(v, 0);
  Put16(v, pic.w);
  Put16(v, pic.h);
  v.push_back(0);
  v.push_back(8);  // minimum code size
  // 9-bit codes, least significant bit first.
  std::vector<std::uint8_t> bits;
  std::uint32_t acc = 0;
  int nbits = 0;
  auto emit = [&](int code) {
    acc |= std::uint32_t(code) << nbits;
    nbits += 9;
    while (nbits >= 8) {
      bits.push_back(std::uint8_t(acc & 0xFF));
      acc >>= 8;
      nbits -= 8;
    }
  };
  int sinceClear = 0;
  emit(256);
  for (int idx : pal.index) {
    if (sinceClear == 250) {
      emit(256);
      sinceClear = 0;
    }
    emit(idx);
    ++sinceClear;
  }
  emit(257);
  if (nbits > 0) bits.push_back(std::uint8_t(acc & 0xFF));
  for (std::size_t i = 0; i < bits.size(); i += 255) {
    const std::size_t n = std::min<std::size_t>(255, bits.size() - i);
    v.push_back(std::uint8_t(n));
    v.insert(v.end(), bits.begin() + std::ptrdiff_t(i), bits.begin() + std::ptrdiff_t(i + n));
  }
  v.push_back(0);
  v.push_back(0x3B);
  return v;
}

}  // namespace qv::test
