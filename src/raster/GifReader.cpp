// GIF through giflib: the first image of the file on its logical screen (pixels the image does
// not cover stay transparent black), interlaced or not; the transparent index of its graphic
// control block gives alpha 0, every other pixel is opaque.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "raster/ImageFormats.h"

namespace qv::image {

namespace {

struct TGifSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at;
};

int ReadGif(GifFileType* gif, GifByteType* to, int n) {
  auto* s = static_cast<TGifSource*>(gif->UserData);
  const std::size_t k = std::min<std::size_t>(std::size_t(n), s->size - s->at);
  std::memcpy(to, s->data + s->at, k);
  s->at += k;
  return int(k);
}

std::string GifText(int code) {
  const char* t = GifErrorString(code);
  return t ? t : "cannot read the file";
}

}  // namespace

void DecodeGif(const TImageInput& in, const TImageFormat& format, TDecoded& out) {
  TGifSource source{in.data, in.size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadGif, &error);
  if (!gif) ThrowDamaged(in.name, format, GifText(error));
  struct TClose {
    GifFileType* gif;
    ~TClose() { DGifCloseFile(gif, nullptr); }
  } close{gif};
  auto fail = [&] { ThrowDamaged(in.name, format, GifText(gif->Error)); };

  const int screenW = gif->SWidth, screenH = gif->SHeight;
  if (screenW <= 0 || screenH <= 0) ThrowDamaged(in.name, format, "invalid size");
  int transparent = -1;
  for (;;) {
    GifRecordType record;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) fail();
    if (record == TERMINATE_RECORD_TYPE) ThrowDamaged(in.name, format, "no image");
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) fail();
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4 && (block[1] & 1)) transparent = block[4];
      while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) fail();
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) continue;

    if (DGifGetImageDesc(gif) == GIF_ERROR) fail();
    const GifImageDesc& im = gif->Image;
    const ColorMapObject* map = im.ColorMap ? im.ColorMap : gif->SColorMap;
    if (!map) ThrowDamaged(in.name, format, "no colour table");
    if (im.Width <= 0 || im.Height <= 0) ThrowDamaged(in.name, format, "invalid size");
    std::uint32_t colours[256];
    for (int i = 0; i < 256; ++i) {
      const GifColorType c = i < map->ColorCount ? map->Colors[i] : GifColorType{0, 0, 0};
      colours[i] = 0xFF000000u | (std::uint32_t(c.Red) << 16) | (std::uint32_t(c.Green) << 8) | c.Blue;
    }
    if (transparent >= 0) colours[transparent & 0xFF] = 0;
    std::uint8_t* bits = Reserve(out, in.name, screenW, screenH);
    std::uint32_t* px = reinterpret_cast<std::uint32_t*>(bits);
    std::fill(px, px + std::size_t(screenW) * std::size_t(screenH), 0u);
    std::vector<GifPixelType> line(std::size_t(im.Width));
    // Interlaced rows arrive in four passes: every 8th from 0, every 8th from 4, every 4th from 2,
    // every 2nd from 1.
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    const int passes = im.Interlace ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass)
      for (int y = im.Interlace ? start[pass] : 0; y < im.Height; y += im.Interlace ? step[pass] : 1) {
        if (DGifGetLine(gif, line.data(), im.Width) == GIF_ERROR) fail();
        const int sy = im.Top + y;
        if (sy < 0 || sy >= screenH) continue;
        std::uint32_t* row = px + std::size_t(sy) * std::size_t(screenW);
        for (int x = 0; x < im.Width; ++x) {
          const int sx = im.Left + x;
          if (sx >= 0 && sx < screenW) row[sx] = colours[line[std::size_t(x)]];
        }
      }
    out.bgra = true;
    return;
  }
}

}  // namespace qv::image
