#include "FixtureWriters.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstring>
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
  const int bytesPP = o.kind == TgaKind::TrueColor ? o.bpp / 8 : 1;
  // A colour in 16, 24 or 32 bits, blue first.
  auto colourBytes = [](const std::uint8_t* q, int bits) -> std::vector<std::uint8_t> {
    if (bits == 16) {
      const int v = ((q[3] >= 128) << 15) | ((q[0] >> 3) << 10) | ((q[1] >> 3) << 5) | (q[2] >> 3);
      return {std::uint8_t(v & 0xFF), std::uint8_t(v >> 8)};
    }
    if (bits == 24) return {q[2], q[1], q[0]};
    return {q[2], q[1], q[0], q[3]};
  };
  std::vector<std::uint8_t> v;
  v.push_back(0);                 // no image ID
  v.push_back(mapped ? 1 : 0);    // colour map
  const int type = o.kind == TgaKind::TrueColor ? 2 : (o.kind == TgaKind::Grey ? 3 : 1);
  v.push_back(std::uint8_t(type + (o.rle ? 8 : 0)));
  Put16(v, mapped ? o.paletteFirst : 0);
  Put16(v, mapped ? int(pal.colors.size()) : 0);
  v.push_back(std::uint8_t(mapped ? o.entryBits : 0));
  Put16(v, 0);
  Put16(v, 0);
  Put16(v, pic.w);
  Put16(v, pic.h);
  v.push_back(std::uint8_t(o.kind == TgaKind::TrueColor ? o.bpp : 8));
  const int alphaBits = o.attributeBits >= 0 ? o.attributeBits : (o.kind == TgaKind::TrueColor && o.bpp == 32 ? 8 : 0);
  v.push_back(std::uint8_t(alphaBits | (o.topLeft ? 0x20 : 0) | (o.rightToLeft ? 0x10 : 0)));
  if (mapped)
    for (std::uint32_t c : pal.colors) {
      const std::uint8_t q[4] = {std::uint8_t(c), std::uint8_t(c >> 8), std::uint8_t(c >> 16), std::uint8_t(c >> 24)};
      auto b = colourBytes(q, o.entryBits);
      v.insert(v.end(), b.begin(), b.end());
    }
  auto pixelBytes = [&](int x, int y) {
    std::vector<std::uint8_t> b;
    const std::uint8_t* q = pic.at(x, y);
    if (o.kind == TgaKind::Grey) b = {q[0]};
    else if (mapped) b = {std::uint8_t(pal.index[std::size_t(y) * pic.w + x] + o.paletteFirst)};
    else b = colourBytes(q, bytesPP * 8);
    return b;
  };
  for (int i = 0; i < pic.h; ++i) {
    const int y = o.topLeft ? i : pic.h - 1 - i;
    auto column = [&](int k) { return o.rightToLeft ? pic.w - 1 - k : k; };
    if (!o.rle) {
      for (int k = 0; k < pic.w; ++k) {
        auto b = pixelBytes(column(k), y);
        v.insert(v.end(), b.begin(), b.end());
      }
      continue;
    }
    // Run packets for repeats, raw packets otherwise, never crossing a row.
    int x = 0;
    while (x < pic.w) {
      int run = 1;
      while (x + run < pic.w && run < 128 && pixelBytes(column(x + run), y) == pixelBytes(column(x), y)) ++run;
      if (run > 1) {
        v.push_back(std::uint8_t(0x80 | (run - 1)));
        auto b = pixelBytes(column(x), y);
        v.insert(v.end(), b.begin(), b.end());
        x += run;
        continue;
      }
      int raw = 1;
      while (x + raw < pic.w && raw < 128 &&
             !(x + raw + 1 < pic.w && pixelBytes(column(x + raw), y) == pixelBytes(column(x + raw + 1), y)))
        ++raw;
      v.push_back(std::uint8_t(raw - 1));
      for (int k = 0; k < raw; ++k) {
        auto b = pixelBytes(column(x + k), y);
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

std::vector<std::uint8_t> EncodeBmp(const Rgba& pic, const BmpOptions& o) {
  const bool core = o.headerSize == 12;
  const bool paletted = o.bpp <= 8;
  Palette pal = paletted ? MakePalette(pic) : Palette{};
  if (paletted && pal.colors.size() > (std::size_t(1) << o.bpp)) throw std::runtime_error("too many colours");
  const bool masksAfter = o.compression == 3 && o.headerSize == 40;
  std::vector<std::uint8_t> pixels;
  if (o.compression == 1) {
    for (int i = 0; i < pic.h; ++i) {
      const int y = o.topDown ? i : pic.h - 1 - i;
      for (int x = 0; x < pic.w; ++x) {
        pixels.push_back(1);
        pixels.push_back(std::uint8_t(pal.index[std::size_t(y) * pic.w + x]));
      }
      pixels.push_back(0);
      pixels.push_back(0);
    }
    pixels.push_back(0);
    pixels.push_back(1);
  } else if (o.compression == 4) {  // RLE24: a literal run of the first pixel, then runs of one
    for (int i = 0; i < pic.h; ++i) {
      const int y = o.topDown ? i : pic.h - 1 - i;
      for (int x = 0; x < pic.w; ++x) {
        const std::uint8_t* q = pic.at(x, y);
        if (x == 0 && pic.w >= 3) {  // an absolute run of three pixels, padded to 16 bits
          pixels.insert(pixels.end(), {0, 3});
          for (int k = 0; k < 3; ++k) {
            const std::uint8_t* r = pic.at(k, y);
            pixels.insert(pixels.end(), {r[2], r[1], r[0]});
          }
          pixels.push_back(0);
          x = 2;
          continue;
        }
        pixels.insert(pixels.end(), {1, q[2], q[1], q[0]});
      }
      pixels.push_back(0);
      pixels.push_back(0);
    }
    pixels.push_back(0);
    pixels.push_back(1);
  } else {
    const std::size_t stride = ((std::size_t(pic.w) * std::size_t(o.bpp) + 31) / 32) * 4;
    // A channel byte under a mask: its top bits, placed at the mask.
    auto pack = [](std::uint8_t c, std::uint32_t mask) -> std::uint32_t {
      if (!mask) return 0;
      int shift = 0, bits = 0;
      while (!((mask >> shift) & 1)) ++shift;
      while (shift + bits < 32 && ((mask >> (shift + bits)) & 1)) ++bits;
      const std::uint32_t v = bits >= 8 ? std::uint32_t(c) << (bits - 8) : std::uint32_t(c) >> (8 - bits);
      return v << shift;
    };
    std::uint32_t m[4] = {o.masks[0], o.masks[1], o.masks[2], o.masks[3]};
    if (o.compression != 3 && o.bpp == 16) m[0] = 0x7C00, m[1] = 0x03E0, m[2] = 0x001F, m[3] = 0;
    for (int i = 0; i < pic.h; ++i) {
      const int y = o.topDown ? i : pic.h - 1 - i;
      std::vector<std::uint8_t> row(stride, 0);
      for (int x = 0; x < pic.w; ++x) {
        const std::uint8_t* q = pic.at(x, y);
        if (paletted) {
          const int perByte = 8 / o.bpp;
          const int shift = 8 - o.bpp * (x % perByte + 1);
          row[std::size_t(x / perByte)] |= std::uint8_t(pal.index[std::size_t(y) * pic.w + x] << shift);
        } else if (o.bpp == 24) {
          row[3 * std::size_t(x)] = q[2];
          row[3 * std::size_t(x) + 1] = q[1];
          row[3 * std::size_t(x) + 2] = q[0];
        } else if (o.bpp == 32 && o.compression != 3) {
          for (int c = 0; c < 4; ++c) row[4 * std::size_t(x) + std::size_t(c)] = c == 3 ? q[3] : q[2 - c];
        } else {
          const std::uint32_t v = pack(q[0], m[0]) | pack(q[1], m[1]) | pack(q[2], m[2]) | pack(q[3], m[3]);
          for (int k = 0; k < o.bpp / 8; ++k) row[std::size_t(x) * std::size_t(o.bpp / 8) + std::size_t(k)] = std::uint8_t(v >> (8 * k));
        }
      }
      pixels.insert(pixels.end(), row.begin(), row.end());
    }
  }
  std::vector<std::uint8_t> header;
  Put32(header, std::uint32_t(o.headerSize));
  if (core) {
    Put16(header, pic.w);
    Put16(header, pic.h);
    Put16(header, 1);
    Put16(header, o.bpp);
  } else {
    Put32(header, std::uint32_t(pic.w));
    Put32(header, std::uint32_t(o.topDown ? -pic.h : pic.h));
    Put16(header, 1);
    Put16(header, o.bpp);
    Put32(header, std::uint32_t(o.compression));
    Put32(header, std::uint32_t(pixels.size()));
    Put32(header, 2835);
    Put32(header, 2835);
    Put32(header, paletted ? std::uint32_t(pal.colors.size()) : 0);
    Put32(header, 0);
    for (int i = 0; header.size() < std::size_t(o.headerSize); ++i) Put32(header, i < 4 ? o.masks[i] : 0);
  }
  if (masksAfter)
    for (int i = 0; i < 3; ++i) Put32(header, o.masks[i]);
  for (std::uint32_t c : pal.colors) {
    header.push_back(std::uint8_t(c >> 16));
    header.push_back(std::uint8_t(c >> 8));
    header.push_back(std::uint8_t(c));
    if (!core) header.push_back(0);
  }
  std::vector<std::uint8_t> v = {'B', 'M'};
  Put32(v, std::uint32_t(14 + header.size() + pixels.size()));
  Put32(v, 0);
  Put32(v, std::uint32_t(14 + header.size()));
  v.insert(v.end(), header.begin(), header.end());
  v.insert(v.end(), pixels.begin(), pixels.end());
  return v;
}

std::vector<std::uint8_t> EncodeGif(const Rgba& pic, const GifOptions& o) {
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
  Put16(v, o.screenW ? o.screenW : pic.w);
  Put16(v, o.screenH ? o.screenH : pic.h);
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
  Put16(v, o.left);
  Put16(v, o.top);
  Put16(v, pic.w);
  Put16(v, pic.h);
  v.push_back(o.interlaced ? 0x40 : 0);
  if (o.interlaced) {  // rows 0, 8, ..., then 4, 12, ..., then 2, 6, ..., then 1, 3, ...
    std::vector<int> stored;
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
      for (int y = start; y < pic.h; y += step)
        stored.insert(stored.end(), pal.index.begin() + std::ptrdiff_t(y) * pic.w,
                      pal.index.begin() + std::ptrdiff_t(y + 1) * pic.w);
    pal.index = stored;
  }
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
