#include "ProbeLayer.h"
#include "composition/QvSystem.h"
#include "platform/QtCanvas.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qv::test {
namespace {

class OverlayCanvas : public ::testing::Test {
 protected:
  OverlayCanvas() : bmp(64, 48) {
    for (int y = 0; y < bmp.Height(); ++y) {
      for (int x = 0; x < bmp.Width(); ++x) bmp.SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 3) << 16 | std::uint32_t(y * 5) << 8 | 0x40);
    }
    original = std::vector<std::uint8_t>(bmp.Bits, bmp.Bits + bmp.ByteSize());
  }
  std::uint32_t Original(int x, int y) const {
    std::uint32_t v;
    std::memcpy(&v, &original[(std::size_t(y) * bmp.Width() + x) * 4], 4);
    return v;
  }
  TQtCanvasFactory factory;
  TmemoryBitmap bmp;
  std::vector<std::uint8_t> original;
};

TEST_F(OverlayCanvas, XorOutlineInvertsEachPixelOnceAndUndoesItself) {
  const TRect r{10, 8, 20, 15};
  factory.Open(bmp.Bits, bmp.Width(), bmp.Height())->FrameRect(r, 0xFFFFFF, TPenMode::pmXor);
  for (int y = 0; y < bmp.Height(); ++y) {
    for (int x = 0; x < bmp.Width(); ++x) {
      const bool inside = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
      const bool border = inside && (x == r.Left || x == r.Right - 1 || y == r.Top || y == r.Bottom - 1);
      const std::uint32_t expected = border ? Original(x, y) ^ 0x00FFFFFFu : Original(x, y);
      ASSERT_EQ(bmp.Pixel(x, y), expected) << x << "," << y;
    }
  }
  factory.Open(bmp.Bits, bmp.Width(), bmp.Height())->FrameRect(r, 0xFFFFFF, TPenMode::pmXor);
  EXPECT_EQ(std::memcmp(bmp.Bits, original.data(), original.size()), 0);
}

TEST_F(OverlayCanvas, OutlineOfThinRectangles) {
  auto canvas = factory.Open(bmp.Bits, bmp.Width(), bmp.Height());
  canvas->FrameRect({5, 5, 6, 9}, 0xFFFFFF, TPenMode::pmXor);    // one column
  canvas->FrameRect({20, 5, 26, 6}, 0xFFFFFF, TPenMode::pmXor);  // one row
  canvas->FrameRect({30, 30, 30, 40}, 0xFFFFFF, TPenMode::pmXor);  // empty
  canvas.reset();
  for (int y = 5; y < 9; ++y) EXPECT_EQ(bmp.Pixel(5, y), Original(5, y) ^ 0x00FFFFFFu) << y;
  for (int x = 20; x < 26; ++x) EXPECT_EQ(bmp.Pixel(x, 5), Original(x, 5) ^ 0x00FFFFFFu) << x;
  EXPECT_EQ(bmp.Pixel(30, 30), Original(30, 30));
}

TEST_F(OverlayCanvas, CopyOutlineAndHandle) {
  auto canvas = factory.Open(bmp.Bits, bmp.Width(), bmp.Height());
  canvas->FrameRect({2, 2, 6, 6}, 0x00FF00, TPenMode::pmCopy);
  canvas->FillRect({27, 27, 33, 33}, 0x0000FF, 0xFFFFFF);  // a handle centred on (30, 30)
  canvas.reset();
  EXPECT_EQ(bmp.Pixel(2, 2), 0xFF00FF00u);
  EXPECT_EQ(bmp.Pixel(5, 3), 0xFF00FF00u);
  EXPECT_EQ(bmp.Pixel(3, 3), Original(3, 3));
  for (int y = 26; y <= 33; ++y) {
    for (int x = 26; x <= 33; ++x) {
      const bool inside = x >= 27 && x < 33 && y >= 27 && y < 33;
      const bool edge = inside && (x == 27 || x == 32 || y == 27 || y == 32);
      const std::uint32_t expected = !inside ? Original(x, y) : edge ? 0xFFFFFFFFu : 0xFF0000FFu;
      EXPECT_EQ(bmp.Pixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST_F(OverlayCanvas, TextOnAnOpaqueBackground) {
  TmemoryBitmap clear(200, 40);
  factory.Open(clear.Bits, clear.Width(), clear.Height())->TextOut(10, 5, "Logo Wg", 0x000000, 0xFFFFFF);
  int white = 0;
  int dark = 0;
  for (int y = 0; y < clear.Height(); ++y) {
    for (int x = 0; x < clear.Width(); ++x) {
      const std::uint32_t p = clear.Pixel(x, y);
      if (p == 0) continue;
      EXPECT_GE(x, 10);
      EXPECT_GE(y, 5);
      EXPECT_EQ(p >> 24, 0xFFu) << "the background is opaque";
      if (p == 0xFFFFFFFFu) ++white;
      if ((p & 0xFF) < 0x60) ++dark;
    }
  }
  EXPECT_EQ(clear.Pixel(10, 5), 0xFFFFFFFFu);  // the cell's corner is background
  EXPECT_GT(white, 50);
  EXPECT_GT(dark, 10);
}

TEST_F(OverlayCanvas, SelectionOverlayOnTheWorkImage) {
  TManualTickSource ticks;
  auto sys = Make<TQVSystem>(64, 48, TCompositionContext{.Ticks = &ticks, .Canvases = &factory}, true);
  TProbeLayer& l = sys->NewLayer<TProbeLayer>();
  l.SetX(10), l.SetY(10), l.SetWidth(30), l.SetHeight(20);
  l.AccpetResizeX = l.AccpetResizeY = true;
  sys->work->Fill(0xFF808080u);
  sys->SetSelectedLayer(&l);
  sys->DrawEditor();
  EXPECT_EQ(sys->work->Pixel(40, 20), 0xFF0000FFu);  // inside the right handle, centre (40, 20)
  EXPECT_EQ(sys->work->Pixel(37, 17), 0xFFFFFFFFu);  // its outline
  EXPECT_EQ(sys->work->Pixel(20, 29), 0xFF7F7F7Fu);  // the XOR outline's bottom row
  EXPECT_EQ(sys->work->Pixel(20, 20), 0xFF808080u);  // inside the layer: untouched

  // Onto a presentation image: the overlay goes there, the work image keeps the composed frame.
  sys->work->Fill(0xFF808080u);
  TmemoryBitmap shown(*sys->work);
  sys->DrawEditor(shown);
  EXPECT_EQ(shown.Pixel(40, 20), 0xFF0000FFu);
  EXPECT_EQ(sys->work->Pixel(40, 20), 0xFF808080u);
  EXPECT_EQ(sys->work->Pixel(20, 29), 0xFF808080u);
}

}  // namespace
}  // namespace qv::test
