// A pasted paragraph of 5 000 characters as one crawl line, with the Qt engines: it renders in
// full, every glyph along the strip, and crawls through the layer from its first to its last
// character.
#include "composition/RichTextRender.h"
#include "composition/RollLayer.h"
#include "platform/Clock.h"
#include "platform/QtRichEdit.h"
#include "platform/QtTextRenderer.h"
#include "support/Files.h"

#include <gtest/gtest.h>


namespace qv {
namespace {

// 5 000 characters: words of letters and digits, so ink is spread along the whole line.
std::string LongText() {
  std::string s;
  int i = 0;
  while (s.size() < 5000) {
    s += "Word" + std::to_string(i++ % 1000) + " ";
  }
  s.resize(5000);
  s.back() = 'Z';
  return s;
}

// Which of the Step-wide columns of the strip hold no ink (alpha) at all.
std::vector<int> EmptyStretches(const TTextStrip& strip, int from, int to, int step) {
  std::vector<int> empty;
  std::vector<bool> inked(static_cast<std::size_t>(strip.Width), false);
  int x0 = 0;
  for (const auto& p : strip.Pieces) {
    for (int y = 0; y < p->Height(); ++y) {
      for (int x = 0; x < p->Width(); ++x) {
        if ((p->Pixel(x, y) >> 24) > 64) inked[static_cast<std::size_t>(x0 + x)] = true;
      }
    }
    x0 += p->Width();
  }
  for (int a = from; a + step <= to; a += step) {
    bool any = false;
    for (int x = a; x < a + step; ++x) any = any || inked[static_cast<std::size_t>(x)];
    if (!any) empty.push_back(a);
  }
  return empty;
}

struct LongLine : ::testing::Test {
  TQtTextRenderer renderer;
  TQtRichEdit engine;
};

TEST_F(LongLine, PlainTextRendersInFullWithShadowAndContour) {
  const std::string text = LongText();
  auto shadow = Make<TShadow>();
  auto contour = Make<TContour>();
  const TTextImageParams p =
      TTextImageParams::Make(text, shadow.get(), contour.get(), 4, "Tahoma", 32, "LEFT", 0xFFFFFF, false, 0);
  int dx = 0, dy = 0;
  const auto strip = RenderTextStrip(renderer, p, dx, dy);
  // Drawn at four times the size: 128 points.
  const int textWidth = renderer.Measure(text, {"Tahoma", 128, false}).Width / 4;
  EXPECT_GT(textWidth, 5000 * 8);
  EXPECT_NEAR(strip->Width, textWidth + 2 * dx, 1);
  for (const auto& piece : strip->Pieces) EXPECT_LE(piece->Width(), kStripPieceWidth);
  // Words of 8 characters or so at about 15 pixels each: no 100-pixel stretch without ink, from
  // the first character to the last.
  EXPECT_EQ(EmptyStretches(*strip, dx, strip->Width - dx - 100, 100), std::vector<int>{});
}

TEST_F(LongLine, RichTextRendersInFull) {
  TRichDocument doc;
  TRichRun run;
  run.Text = LongText();
  run.Face = "Tahoma";
  run.HalfPoints = 48;
  run.Color = 0xFFCC00;
  run.AutoColor = false;
  doc.Paragraphs.push_back({{run}, false});
  engine.Load(doc);
  int dx = 0, dy = 0, descent = 0, ascent = 0;
  const auto strip = RenderRichTextLine(engine, 0, {}, {true, 0, 2, 255}, 4, dx, dy, descent, ascent);
  ASSERT_NE(strip, nullptr);
  EXPECT_GT(strip->Width, 5000 * 8);
  EXPECT_EQ(EmptyStretches(*strip, dx, strip->Width - dx - 100, 100), std::vector<int>{});
}

TEST_F(LongLine, CrawlsFromItsFirstToItsLastCharacter) {
  const test::TTestDir dir("longline");
  const std::string file = dir.Write("long.txt", LongText() + "\r\n");

  TManualTickSource ticks;
  auto sys = Make<TQVSystem>(768, 576, TCompositionContext{.TextRenderer = &renderer, .RichEdit = &engine, .Ticks = &ticks},
                             true);
  TRollLayer& roll = sys->NewLayer<TRollLayer>();
  roll.SetTextDirection(tdLefttoRight);
  roll.SetTextFile(file);
  roll.PrepareStrips();
  ASSERT_EQ(roll.working.size(), 1u);
  const int width = roll.working[0]->Width;
  EXPECT_GT(width, 5000 * 8);

  // Wherever the crawl stands along the line, the layer shows text.
  TmemoryBitmap target(768, 576);
  for (int at = 0; at < width - 768; at += 997) {
    roll.Pos = -at;
    target.Fill(0);
    roll.Advance(0);
    roll.DrawLayer(target, 0);
    long ink = 0;
    for (int y = 0; y < roll.Height(); ++y) {
      for (int x = 0; x < 768; ++x) ink += (target.Pixel(x, y) >> 24) > 64;
    }
    EXPECT_GT(ink, 768 * 2) << "at " << at;
  }
  sys.reset();
}

}  // namespace
}  // namespace qv
