// Text and clock layers in project files: the blocks as written (nested groups in their order)
// and read back, with the image rendered once after the silent load.
#include "TextTestSupport.h"
#include "composition/ClockLayer.h"
#include "composition/TextLayer.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

class TextProject : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes); }

  TFakeTextRenderer fake;
  TTestDir dir{"textproject"};
};

// A text layer and a clock with every group changed from its defaults.
std::unique_ptr<TQVSystem> Example(const TTextRenderer& Renderer) {
  auto sys = Make<TQVSystem>(768, 576, TextContext(&Renderer), false);
  TTextLayer& t = sys->NewLayer<TTextLayer>();
  t.SetlayerName("title");
  t.SetText("שלום World");
  t.SetTextSource(tsMeta2);
  t.SetHorizontalAlignment(haRight);
  t.SetVerticalAlignment(vaBottom);
  t.SetMaxWidth(600);
  t.Font().SetFontName("Liberation Sans");
  t.Font().FontColorProperty().SetWinColor(0x00FFFF);  // yellow
  t.Font().SetFontSize(40);
  t.Shadow().SetDeltaX(-4);
  t.Shadow().SetBlur(0);
  t.Shadow().SetOpacity(128);
  t.Contour().SetEnabled(false);
  t.Contour().SetSize(3);
  t.SetTextDirection(tdRighttoLeft);
  t.SetX(700);
  t.SetY(500);
  TClockLayer& c = sys->NewLayer<TClockLayer>();
  c.SetlayerName("clock");
  c.FormatSettings().SetMilliSeconds(true);
  c.FormatSettings().SetSeparator(".");
  c.ChronoSettings().SetChronoType(ctDescendant);
  c.SetClockType(ctChrono);
  c.SetX(40);
  c.SetY(30);
  return sys;
}

TEST_F(TextProject, WritesTheGroupsAsNestedBlocksInTheirOrder) {
  auto sys = Example(fake);
  const fs::path file = dir / "out.QV";
  sys->SaveToFile(file.string());
  const std::string expected = Lines({
      "\tObject '':TQVSystem",
      "\t\tShowTime = 0",
      "\t\tTime = 0.00000000",
      "\t\tDurationType = 0",
      "\t\tDuration = 3.00000000",
      "\tEnd",
      "\tObject '':TTextLayer",
      "\t\tText = שלום World",
      "\t\tTextSource = 2",
      "\t\tHorizontalAlignment = 2",
      "\t\tVerticalAlignment = 2",
      "\t\tMaxWidth = 600",
      "\t\tObject 'Font':TTextFont",
      "\t\t\tFontName = Liberation Sans",
      "\t\t\tObject 'FontColor':TColor4",
      "\t\t\t\tRed = 1.00000000",
      "\t\t\t\tGreen = 1.00000000",
      "\t\t\t\tBlue = 0.00000000",
      "\t\t\t\tAlpha = 1.00000000",
      "\t\t\tEnd",
      "\t\t\tFontSize = 40",
      "\t\tEnd",
      "\t\tObject 'Shadow':TShadow",
      "\t\t\tEnabled = True",
      "\t\t\tObject 'Color':TColor4",
      "\t\t\t\tRed = 0.00000000",
      "\t\t\t\tGreen = 0.00000000",
      "\t\t\t\tBlue = 0.00000000",
      "\t\t\t\tAlpha = 0.00000000",
      "\t\t\tEnd",
      "\t\t\tDeltaX = -4",
      "\t\t\tDeltaY = 3",
      "\t\t\tBlur = 0",
      "\t\t\tOpacity = 128",
      "\t\tEnd",
      "\t\tObject 'Contour':TContour",
      "\t\t\tEnabled = False",
      "\t\t\tObject 'Color':TColor4",
      "\t\t\t\tRed = 0.00000000",
      "\t\t\t\tGreen = 0.00000000",
      "\t\t\t\tBlue = 0.00000000",
      "\t\t\t\tAlpha = 0.00000000",
      "\t\t\tEnd",
      "\t\t\tSize = 3",
      "\t\t\tOpacity = 255",
      "\t\tEnd",
      "\t\tTextDirection = 1",
      "\t\tlayerName = title",
      "\t\tVisible = True",
      "\t\tOpacity = 255",
      "\t\tX = 700",
      "\t\tY = 500",
      "\t\tWidth = 526",  // 14 bytes of UTF-8 at CharWidth(160) = 150: 2100, raised to 2104
      "\t\tHeight = 81",
      "\t\tLayerIN = 0",
      "\t\tDuration = 250",
      "\tEnd",
      "\tObject '':TClockLayer",
      "\t\tObject 'FormatSettings':TClockSettings",
      "\t\t\tHours = True",
      "\t\t\tMinutes = True",
      "\t\t\tSeconds = True",
      "\t\t\tMilliSeconds = True",
      "\t\t\tSeparator = .",
      "\t\tEnd",
      "\t\tObject 'ChronoSettings':TChronoSettings",
      "\t\t\tChronoType = 1",
      "\t\tEnd",
      "\t\tClockType = 1",
      "\t\tText = Text",
      "\t\tTextSource = 0",
      "\t\tHorizontalAlignment = 0",
      "\t\tVerticalAlignment = 0",
      "\t\tMaxWidth = 0",
      "\t\tObject 'Font':TTextFont",
      "\t\t\tFontName = Tahoma",
      "\t\t\tObject 'FontColor':TColor4",
      "\t\t\t\tRed = 1.00000000",
      "\t\t\t\tGreen = 1.00000000",
      "\t\t\t\tBlue = 1.00000000",
      "\t\t\t\tAlpha = 1.00000000",
      "\t\t\tEnd",
      "\t\t\tFontSize = 32",
      "\t\tEnd",
      "\t\tObject 'Shadow':TShadow",
      "\t\t\tEnabled = True",
      "\t\t\tObject 'Color':TColor4",
      "\t\t\t\tRed = 0.00000000",
      "\t\t\t\tGreen = 0.00000000",
      "\t\t\t\tBlue = 0.00000000",
      "\t\t\t\tAlpha = 0.00000000",
      "\t\t\tEnd",
      "\t\t\tDeltaX = 3",
      "\t\t\tDeltaY = 3",
      "\t\t\tBlur = 2",
      "\t\t\tOpacity = 255",
      "\t\tEnd",
      "\t\tObject 'Contour':TContour",
      "\t\t\tEnabled = True",
      "\t\t\tObject 'Color':TColor4",
      "\t\t\t\tRed = 0.00000000",
      "\t\t\t\tGreen = 0.00000000",
      "\t\t\t\tBlue = 0.00000000",
      "\t\t\t\tAlpha = 0.00000000",
      "\t\t\tEnd",
      "\t\t\tSize = 2",
      "\t\t\tOpacity = 255",
      "\t\tEnd",
      "\t\tTextDirection = 0",
      "\t\tlayerName = clock",
      "\t\tVisible = True",
      "\t\tOpacity = 255",
      "\t\tX = 40",
      "\t\tY = 30",
      "\t\tWidth = 121",
      "\t\tHeight = 65",
      "\t\tLayerIN = 0",
      "\t\tDuration = 250",
      "\tEnd",
  });
  EXPECT_EQ(ReadBytes(file), expected);
}

TEST_F(TextProject, ReadsBackWhatItWrote) {
  auto sys = Example(fake);
  const fs::path file = dir / "out.QV";
  sys->SaveToFile(file.string());

  auto back = Make<TQVSystem>(768, 576, TextContext(&fake), false);
  back->LoadFromFile(file.string());
  ASSERT_EQ(back->Layers.size(), 2u);
  auto* t = dynamic_cast<TTextLayer*>(back->Layers[0].get());
  auto* c = dynamic_cast<TClockLayer*>(back->Layers[1].get());
  ASSERT_NE(t, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(dynamic_cast<TClockLayer*>(t), nullptr);

  EXPECT_EQ(t->Text(), "שלום World");
  EXPECT_EQ(t->TextSource(), tsMeta2);
  EXPECT_EQ(t->HorizontalAlignment(), haRight);
  EXPECT_EQ(t->VerticalAlignment(), vaBottom);
  EXPECT_EQ(t->MaxWidth(), 600);
  EXPECT_EQ(t->Font().FontName(), "Liberation Sans");
  EXPECT_EQ(t->Font().FontColor(), 0x00FFFFu);
  EXPECT_EQ(t->Font().FontSize(), 40);
  EXPECT_EQ(t->Shadow().DeltaX(), -4);
  EXPECT_EQ(t->Shadow().Blur(), 0);
  EXPECT_EQ(t->Shadow().Opacity(), 128);
  EXPECT_FALSE(t->Contour().Enabled());
  EXPECT_EQ(t->Contour().Size(), 3);
  EXPECT_EQ(t->TextDirection(), tdRighttoLeft);
  EXPECT_EQ(t->X(), 700);
  EXPECT_EQ(t->Width(), 526);
  // Rendered for the values read: a sharp shadow 4 to the left, no contour.
  ASSERT_TRUE(t->Image);
  EXPECT_EQ(t->Dx, 4);
  EXPECT_EQ(t->DY, 3);
  bool drawnRightToLeft = false;
  for (const auto& d : fake.drawn) drawnRightToLeft |= d.Text == "שלום World" && d.Order == TReadingOrder::roRightToLeft;
  EXPECT_TRUE(drawnRightToLeft);

  EXPECT_TRUE(c->FormatSettings().MilliSeconds());
  EXPECT_EQ(c->FormatSettings().Separator(), ".");
  EXPECT_EQ(c->ChronoSettings().ChronoType(), ctDescendant);
  EXPECT_EQ(c->ClockType(), ctChrono);
  EXPECT_FALSE(c->TextProperty().Attributes.Has(paVisible));
  EXPECT_EQ(c->X(), 40);

  // Saved again, the file is the same.
  const fs::path again = dir / "again.QV";
  back->SaveToFile(again.string());
  EXPECT_EQ(ReadBytes(again), ReadBytes(file));
}

// Loading is silent: the layer renders when it is made and once more when its block ends, not
// for each value read (colour channels, which go through their setters, included).
TEST_F(TextProject, ALoadedLayerRendersOnceAtItsEnd) {
  const fs::path file = Write("in.QV", Lines({
                                           "Object '':TTextLayer",
                                           "Text = Loaded text",
                                           "Object 'Font':TTextFont",
                                           "Object 'FontColor':TColor4",
                                           "Red = 0.5",
                                           "Green = 0.25",
                                           "Blue = 0",
                                           "End",
                                           "FontSize = 20",
                                           "End",
                                           "Object 'Shadow':TShadow",
                                           "Blur = 5",
                                           "End",
                                           "X = 12",
                                           "End",
                                       }));
  auto sys = Make<TQVSystem>(768, 576, TextContext(&fake), false);
  sys->LoadFromFile(file.string());
  ASSERT_EQ(sys->Layers.size(), 1u);
  auto& t = dynamic_cast<TTextLayer&>(*sys->Layers[0]);
  EXPECT_EQ(t.RenderCount(), 2u);  // "Text" when made, the loaded values at the end
  EXPECT_EQ(t.Text(), "Loaded text");
  EXPECT_EQ(t.Font().FontColor(), 0x004080u);
  EXPECT_EQ(t.Font().FontSize(), 20);
  EXPECT_EQ(fake.drawn.back().Text, "Loaded text");
  EXPECT_EQ(fake.drawn.back().Font.PointSize, 80);
  EXPECT_EQ(t.Dx, 3 + 14);  // blur 5: kernel radius 14
  EXPECT_EQ(t.X(), 12);
}

}  // namespace
}  // namespace qv::test
