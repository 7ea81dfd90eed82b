// Fuzz target: an image file loaded through TStreamedBitmap::LoadFromStream from memory, with
// the bitmap size limits: the format table recognises it and our own readers (TGA, BMP, and PNG,
// JPEG, GIF through their libraries) or the codec plug-in decode it. A failed load must leave the
// bitmap as it was; a successful one gives a bitmap within the limits, of the size the file's
// header states where our own reader's row reads one, which is then resampled and unmatted.
#include "FuzzSupport.h"
#include "raster/ImageFormats.h"
#include "raster/StreamBitmaps.h"

#include <algorithm>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  qv::TStreamedBitmap bmp(3, 2);  // a bitmap that already holds pixels, as a layer's does
  bmp.Fill(0x80402010u);
  try {
    bmp.LoadFromStream(in);
  } catch (const qv::EImageError&) {
    if (bmp.Width() != 3 || bmp.Height() != 2 || bmp.Pixel(2, 1) != 0x80402010u) {
      qv::fuzz::Fail("a failed load changed the bitmap");
    }
    return 0;
  }
  const int w = bmp.Width();
  const int h = bmp.Height();
  if (w < 0 || h < 0 || w > qv::TmemoryBitmap::MaxSide || h > qv::TmemoryBitmap::MaxSide ||
      std::int64_t(w) * h > qv::TmemoryBitmap::MaxPixels) {
    qv::fuzz::Fail("loaded bitmap of " + std::to_string(w) + " x " + std::to_string(h));
  }
  if ((w == 0 || h == 0) != bmp.Empty()) qv::fuzz::Fail("size and pixels disagree");
  if (const qv::image::TImageFormat* f = qv::image::FindImageFormat(data, std::min(size, qv::image::kHeadBytes))) {
    std::int64_t statedW = 0, statedH = 0;
    if (bmp.Empty()) qv::fuzz::Fail(std::string("a recognised ") + f->name + " file loaded as nothing");
    // (The plug-in's readers may lay some files out otherwise: a cube map's faces side by side.)
    if (f->decode != qv::image::DecodeWithPlugin && f->statedSize && f->statedSize(data, std::min(size, qv::image::kHeadBytes), statedW, statedH) &&
        (statedW != w || statedH != h))
      qv::fuzz::Fail(std::string(f->name) + " header says " + std::to_string(statedW) + " x " +
                     std::to_string(statedH) + ", loaded " + std::to_string(w) + " x " + std::to_string(h));
  } else if (!bmp.Empty()) {
    qv::fuzz::Fail("content no row recognises loaded as a picture");
  }
  if (!bmp.Empty()) {
    // Touch every pixel (ASan sees a short block), then what layers do with a loaded picture.
    volatile std::uint32_t sum = 0;
    for (int y = 0; y < h; ++y) sum = sum + bmp.Pixel(w - 1, y) + bmp.Pixel(0, y);
    (void)sum;
    bmp.UnmatteImage();
    if (std::int64_t(w) * h <= 256 * 256) bmp.Resizeto(w / 2 + 1, h + 3);
  }
  return 0;
}

// OpenImageIO's PNG reader loses its error message when libpng longjmps out of a damaged file;
// the library frames only show with the full unwinder.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:OpenImageIO_v2_4::PNGInput::PngReadCallback\n"
         "leak:OpenImageIO_v2_4::ImageInput::geterror\n";
}
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
