#include "editor_logic/Commands.h"

#include "composition/ClockLayer.h"
#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"
#include "composition/TextLayer.h"
#include "raster/StreamBitmaps.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

// A composition without text rendering: names, selection and the stack are what is tested.
struct Commands : ::testing::Test {
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  TTestDir dir{"qv-commands"};

  std::string Picture(const std::string& Name, int W, int H) {
    TStreamedBitmap b(W, H);
    b.Fill(0xFF336699u);
    const std::string path = (dir / Name).string();
    b.SaveToFile(path);
    return path;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& l : sys->Layers) names.push_back(l->layerName());
    return names;
  }
};

TEST_F(Commands, UniqueNamesCountPerPrefixAndReuseFreedNumbers) {
  TLayer& first = InsertLayer(*sys, TLayerKind::lkText);
  InsertLayer(*sys, TLayerKind::lkText);
  InsertLayer(*sys, TLayerKind::lkClock);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Text000", "Text001", "Clock000"}));
  first.SetlayerName("headline");
  EXPECT_EQ(InsertLayer(*sys, TLayerKind::lkText).layerName(), "Text000");
  // Exact, case-sensitive: "text002" does not take Text002.
  sys->NewLayer<TTextLayer>().SetlayerName("text002");
  EXPECT_EQ(UniqueLayerName(*sys, "Text"), "Text002");
}

TEST_F(Commands, AfterTheThreeDigitNamesComeFourDigits) {
  for (int i = 0; i < 1000; ++i) {
    std::string digits = std::to_string(i);
    sys->NewLayer<TClockLayer>().SetlayerName("Clock" + std::string(3 - std::min<std::size_t>(3, digits.size()), '0') +
                                              digits);
  }
  EXPECT_EQ(UniqueLayerName(*sys, "Clock"), "Clock1000");
  EXPECT_EQ(UniqueLayerName(*sys, "img"), "img000");
}

TEST(CommandsNames, SaveAsAppendsTheProjectExtensionUnlessItIsThere) {
  const std::pair<const char*, const char*> cases[] = {
      {"page", "page.QV"},        {"page.QV", "page.QV"},       {"page.qv", "page.qv"},
      {"page.Qv", "page.Qv"},     {"page.txt", "page.txt.QV"}, {"/news/a.b/page", "/news/a.b/page.QV"},
      {"page.QVX", "page.QVX.QV"},
  };
  for (const auto& [chosen, saved] : cases) EXPECT_EQ(ProjectSaveName(chosen), saved) << chosen;
}

TEST_F(Commands, EachKindIsMadeNamedIconedAndSelectedAsItsButtonSays) {
  const std::string logo = Picture("logo.png", 40, 20);
  TLayer& kept = InsertLayer(*sys, TLayerKind::lkText);
  struct Case {
    TLayerKind kind;
    std::string source;
    std::string name;
    int icon;
    bool selects;
  } cases[] = {
      {TLayerKind::lkImage, logo, "img000", 0, false},  {TLayerKind::lkText, "", "Text001", 2, true},
      {TLayerKind::lkRoll, "", "Roll000", 3, true},     {TLayerKind::lkClock, "", "Clock000", 4, true},
  };
  for (const Case& c : cases) {
    sys->SetSelectedLayer(&kept);
    TLayer& l = InsertLayer(*sys, c.kind, c.source);
    EXPECT_EQ(sys->Layers.back().get(), &l) << c.name;  // on top
    EXPECT_EQ(l.layerName(), c.name);
    EXPECT_EQ(l.IconIndex, c.icon) << c.name;
    EXPECT_EQ(sys->_SelectedLayer(), c.selects ? &l : &kept) << c.name;
  }
  auto& image = dynamic_cast<TImageLayer&>(*sys->Layers[1]);
  EXPECT_EQ(image.Width(), 40);  // the picture loaded through the setter
  EXPECT_EQ(image.Height(), 20);
  EXPECT_EQ(InsertCommands().size(), 5u);
  EXPECT_STREQ(InsertCommand(TLayerKind::lkRoll).Hint, "Insert rolling Text");
}

TEST_F(Commands, SequencesRaiseTheLastFrameToTheirsAndNeverLowerIt) {
  std::filesystem::create_directories(dir / "seq");
  for (int i = 0; i < 4; ++i) Picture("seq/f" + std::to_string(i) + ".png", 8, 8);
  EXPECT_EQ(LastFrameFor(*sys, 0), 0);
  TLayer& seq = InsertLayer(*sys, TLayerKind::lkSequence, (dir / "seq").string());
  EXPECT_EQ(seq.layerName(), "Multi000");
  EXPECT_EQ(sys->_SelectedLayer(), &seq);
  EXPECT_EQ(LastFrameFor(*sys, 0), 3);
  EXPECT_EQ(LastFrameFor(*sys, 10), 10);
  InsertLayer(*sys, TLayerKind::lkSequence, (dir / "none").string());  // no frames: no change
  EXPECT_EQ(LastFrameFor(*sys, 3), 3);
}

// A new page is what a composition made at that size is: its saved text says so, whatever the
// page held and showed before.
TEST_F(Commands, ANewPageIsAFreshCompositionOfTheSizeChosen) {
  const std::span<const TPageSize> sizes = NewPageSizes();
  ASSERT_GE(sizes.size(), 3u);
  EXPECT_EQ(sizes[0].Width, 768);
  EXPECT_EQ(sizes[0].Height, 576);
  for (const TPageSize& size : sizes) {
    SCOPED_TRACE(size.Name);
    auto page = Make<TQVSystem>(768, 576, TCompositionContext{}, true);
    TLayer& text = InsertLayer(*page, TLayerKind::lkText);
    Tkeys* keys = text.XProperty().Animation(true);
    ASSERT_NE(keys, nullptr);
    keys->AddKey(0, 10);
    keys->AddKey(25, 300);
    InsertLayer(*page, TLayerKind::lkClock);
    page->SetShowTime(stAfterStart);
    page->SetTime(4.5);
    page->SetDurationType(dtFixed);
    page->SetDuration(12.0);
    page->frame = 50;
    ASSERT_NE(page->_SelectedLayer(), nullptr);

    ResetToNewPage(*page, size.Width, size.Height);
    EXPECT_TRUE(page->Layers.empty());
    EXPECT_EQ(page->_SelectedLayer(), nullptr);
    EXPECT_EQ(page->frame, 0);
    ASSERT_NE(page->work, nullptr);
    EXPECT_EQ(page->work->Width(), size.Width);
    EXPECT_EQ(page->work->Height(), size.Height);
    auto fresh = Make<TQVSystem>(size.Width, size.Height, TCompositionContext{}, true);
    TMemoryLineWriter reset, made;
    page->SaveToStream("", reset);
    fresh->SaveToStream("", made);
    EXPECT_EQ(reset.Lines, made.Lines);
  }
}

TEST_F(Commands, OpeningAProjectAddsItsLayersOnTopAndSelectsTheBottomOne) {
  TLayer& old = InsertLayer(*sys, TLayerKind::lkText);
  const std::string file = dir.Write("p.QV",
                                     "Object '':TQVSystem\r\nDuration = 7\r\nEnd\r\n"
                                     "Object '':TTextLayer\r\nlayerName = title\r\nEnd\r\n");
  OpenProject(*sys, file);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Text000", "title"}));
  EXPECT_EQ(sys->_SelectedLayer(), &old);  // the bottom layer
  EXPECT_DOUBLE_EQ(sys->Duration(), 7.0);

  auto empty = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  OpenProject(*empty, dir.Write("e.QV", "Object '':TQVSystem\r\nEnd\r\n"));
  EXPECT_EQ(empty->_SelectedLayer(), nullptr);
}

TEST_F(Commands, AlignmentButtonsActOnTextLayersOnly) {
  TLayer& text = InsertLayer(*sys, TLayerKind::lkText);
  EXPECT_TRUE(AlignSelectedText(*sys, haRight));
  EXPECT_TRUE(AlignSelectedText(*sys, vaBottom));
  EXPECT_EQ(dynamic_cast<TTextLayer&>(text).HorizontalAlignment(), haRight);
  EXPECT_EQ(dynamic_cast<TTextLayer&>(text).VerticalAlignment(), vaBottom);
  TLayer& clock = InsertLayer(*sys, TLayerKind::lkClock);
  EXPECT_TRUE(AlignSelectedText(*sys, haCenter));
  EXPECT_EQ(dynamic_cast<TTextLayer&>(clock).HorizontalAlignment(), haCenter);
  InsertLayer(*sys, TLayerKind::lkRoll);
  EXPECT_FALSE(AlignSelectedText(*sys, haLeft));
  sys->SetSelectedLayer(nullptr);
  EXPECT_FALSE(AlignSelectedText(*sys, vaTop));
}

TEST_F(Commands, ZOrderButtonsMoveTheSelectedLayerOnly) {
  TLayer& a = InsertLayer(*sys, TLayerKind::lkText);
  TLayer& b = InsertLayer(*sys, TLayerKind::lkText);
  sys->SetSelectedLayer(nullptr);
  BringSelectedToFront(*sys);  // nothing selected: nothing moves
  SendSelectedToBack(*sys);
  EXPECT_EQ(sys->Layers[0].get(), &a);
  sys->SetSelectedLayer(&a);
  BringSelectedToFront(*sys);
  EXPECT_EQ(sys->Layers[1].get(), &a);
  sys->SetSelectedLayer(&a);
  SendSelectedToBack(*sys);
  EXPECT_EQ(sys->Layers[0].get(), &a);
  EXPECT_EQ(sys->Layers[1].get(), &b);
}

}  // namespace
}  // namespace qv::test
