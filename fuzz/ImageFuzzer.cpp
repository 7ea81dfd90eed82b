// Fuzz target: an image file loaded through TStreamedBitmap::LoadFromStream from memory, with
// the bitmap size limits. A failed load must leave the bitmap as it was; a successful one gives
// a bitmap within the limits, which is then resampled and unmatted.
#include "FuzzSupport.h"
#include "raster/StreamBitmaps.h"

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
