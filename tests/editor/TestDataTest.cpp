// Test data on a page: the values reach the page as a batch row's would, and the page's saved text
// never holds them.
#include "editor_logic/TestData.h"

#include "composition/ImageLayers.h"
#include "composition/TextLayer.h"
#include "platform/Clock.h"
#include "support/Files.h"
#include "raster/StreamBitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qv::test {
namespace {

// A page of a text "headline", a text "name" that shows slot Meta1, and a picture "logo" whose X
// follows a track from 5 at frame 0 to 105 at frame 10.
class TestDataPage : public ::testing::Test {
 protected:
  void SetUp() override {
    TStreamedBitmap b(4, 3);
    b.Fill(0xFF336699u);
    b.SaveToFile((dir / "logo.png").string());
    const std::string project =
        Lines({"\tObject '':TTextLayer", "\t\tText = Old", "\t\tlayerName = headline", "\tEnd",
               "\tObject '':TTextLayer", "\t\tText = Name here", "\t\tTextSource = 1", "\t\tlayerName = name",
               "\tEnd", "\tObject '':TImageLayer", "\t\tFileName = " + (dir / "logo.png").string(),
               "\t\tlayerName = logo", "\t\tY = 7", "\tEnd"});
    sys->LoadFromFile(dir.Write("page.QV", project));
    ASSERT_EQ(sys->Layers.size(), 3u);
    Tkeys& track = *Logo().XProperty().Animation(true);
    track.AddKey(0, 5);
    track.AddKey(10, 105);
    Frame(0);
  }
  TTextLayer& Headline() { return static_cast<TTextLayer&>(*sys->Layers[0]); }
  TTextLayer& Name() { return static_cast<TTextLayer&>(*sys->Layers[1]); }
  TImageLayer& Logo() { return static_cast<TImageLayer&>(*sys->Layers[2]); }
  // The page as it would be saved now.
  std::string Saved() {
    const auto file = dir / ("saved" + std::to_string(saves++) + ".QV");
    sys->SaveToFile(file.string());
    return ReadBytes(file);
  }
  void Frame(int f) {
    sys->frame = f;
    sys->Advance();
  }

  TTestDir dir{"qv-testdata"};
  TManualTickSource ticks;
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{.Ticks = &ticks}, true);
  int saves = 0;
};

TEST_F(TestDataPage, ValuesReachThePageAndItsSavedTextStaysItsOwn) {
  const std::string before = Saved();
  TTestData data(*sys);
  data.Set("meta1", "Jane Doe");  // a slot in any letter case
  data.Set("headline.Text", "Breaking");
  data.Set("logo.X", "50");
  data.Set("logo.Opacity", "128");
  EXPECT_TRUE(data.Apply().empty());
  EXPECT_TRUE(data.Applied());
  Frame(0);
  EXPECT_EQ(sys->Meta1, "Jane Doe");
  EXPECT_EQ(Name().Text(), "Jane Doe");  // taken from the slot at the frame
  EXPECT_EQ(Headline().Text(), "Breaking");
  EXPECT_EQ(Logo().X(), 50);
  EXPECT_EQ(Logo().Opacity(), 128);

  // Saving withdraws the values for the save and puts them back after it.
  std::string saved;
  data.WithoutTestData([&] { saved = Saved(); });
  EXPECT_EQ(saved, before);
  EXPECT_EQ(Headline().Text(), "Breaking");
  Frame(0);
  EXPECT_EQ(Name().Text(), "Jane Doe");
  EXPECT_EQ(Logo().X(), 50);

  // Clearing puts the page back: its text, its slot, the curve of the animated X.
  data.Withdraw();
  EXPECT_FALSE(data.Applied());
  EXPECT_EQ(Saved(), before);
  EXPECT_EQ(sys->Meta1, "");
  Frame(10);
  EXPECT_EQ(Logo().X(), 105);
  EXPECT_EQ(Headline().Text(), "Old");
  Frame(0);
  data.Withdraw();  // nothing applied: nothing happens
  EXPECT_EQ(Saved(), before);
}

TEST_F(TestDataPage, FieldsThePageCannotTakeAreToldAndTheOthersApply) {
  TTestData data(*sys);
  data.Set("ghost.Text", "x");
  data.Set("headline.Nope", "x");
  data.Set("logo.Visible", "maybe");
  data.Set("headline.Text", "Fine");
  data.Set("notes", "");  // no value: no field applied
  const std::vector<std::string> problems = data.Apply();
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_NE(problems[0].find("field \"ghost.Text\""), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("field \"headline.Nope\": layer \"headline\" has no property Nope"), std::string::npos)
      << problems[1];
  EXPECT_NE(problems[2].find("field \"logo.Visible\": \"maybe\" is not a value"), std::string::npos) << problems[2];
  EXPECT_EQ(Headline().Text(), "Fine");
}

TEST_F(TestDataPage, TheOperatorsOwnChangesSurviveWithdrawing) {
  const std::string before = Saved();
  TTestData data(*sys);
  data.Set("headline.Text", "Test value");
  data.Set("logo.Opacity", "10");
  data.Apply();
  // Meanwhile the operator types a text of their own over the test value and moves the logo down.
  Headline().SetText("Typed by hand");
  Logo().SetY(99);
  data.Withdraw();
  EXPECT_EQ(Headline().Text(), "Typed by hand");
  EXPECT_EQ(Logo().Y(), 99);
  EXPECT_EQ(Logo().Opacity(), 255);  // the field the operator did not touch goes back
  Headline().SetText("Old");
  Logo().SetY(7);
  EXPECT_EQ(Saved(), before);
}

TEST_F(TestDataPage, ALayerDeletedMeanwhileIsLeftAlone) {
  TTestData data(*sys);
  data.Set("logo.Opacity", "10");
  data.Set("headline.Text", "Test value");
  data.Apply();
  sys->DeleteLayer(&Logo());
  data.Withdraw();  // the logo is gone; the headline comes back
  EXPECT_EQ(Headline().Text(), "Old");
  // Applied again, the field of the deleted layer is told.
  const auto problems = data.Apply();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("logo.Opacity"), std::string::npos);
}

TEST_F(TestDataPage, ApplyingAgainStartsFromThePage) {
  const std::string before = Saved();
  TTestData data(*sys);
  data.Set("headline.Text", "One");
  data.Set("Meta1", "First");
  data.Apply();
  Frame(0);
  data.Set("headline.Text", "");  // emptied: the page's own text again
  data.Set("Meta1", "Second");
  data.Apply();
  Frame(0);
  EXPECT_EQ(Headline().Text(), "Old");
  EXPECT_EQ(Name().Text(), "Second");
  data.Withdraw();
  EXPECT_EQ(Saved(), before);
}

TEST_F(TestDataPage, FieldsFromACsvRowAndFromADataFile) {
  TTestData data(*sys);
  const TCsvTable table = ParseCsv("Meta1,headline.Text,NextMeta2\nA,B,C\nD,E,F\n");
  EXPECT_FALSE(data.LoadCsvRow(table, 2));
  EXPECT_TRUE(data.LoadCsvRow(table, 1));
  const std::vector<TTestField> expected = {{"Meta1", "D"},     {"Meta2", ""},     {"Meta3", ""}, {"Meta4", ""},
                                            {"NextMeta1", ""},  {"NextMeta2", "F"}, {"NextMeta3", ""},
                                            {"NextMeta4", ""},  {"headline.Text", "E"}};
  EXPECT_EQ(data.Fields(), expected);
  const auto json = video::ParseMetaJson(R"({"Meta1": "From the file", "NextMeta4": 3, "Other": "x"})");
  ASSERT_TRUE(json);
  data.LoadMeta(*json);
  EXPECT_EQ(data.Fields()[0].Value, "From the file");
  EXPECT_EQ(data.Fields()[5].Value, "F");  // not in the file: kept
  EXPECT_EQ(data.Fields()[7].Value, "3");
  data.Apply();
  Frame(0);
  EXPECT_EQ(Name().Text(), "From the file");
  EXPECT_EQ(Headline().Text(), "E");
  EXPECT_EQ(sys->nextMeta4, "3");

  data.Remove("headline.Text");
  data.Remove("NextMeta4");
  EXPECT_EQ(data.Fields().size(), 8u);
  EXPECT_EQ(data.Fields()[7].Value, "");
  data.Clear();
  for (const TTestField& f : data.Fields()) EXPECT_EQ(f.Value, "");
}

// The fields a page offers are the values its grid shows, each one a batch column would set.
TEST_F(TestDataPage, TheFieldsAPageOffersAreTheValuesItsGridShows) {
  const std::vector<std::string> offered = FieldSuggestions(*sys);
  auto has = [&](const std::string& f) { return std::find(offered.begin(), offered.end(), f) != offered.end(); };
  for (const char* f : {"headline.Text", "headline.Font.FontSize", "headline.Font.FontColor.Alpha", "name.TextSource",
                        "logo.X", "logo.FileName", "logo.Opacity"}) {
    EXPECT_TRUE(has(f)) << f;
  }
  for (const char* f : {"headline.Font", "logo.LayerIN", "logo.Duration", "Meta1"}) EXPECT_FALSE(has(f)) << f;
  EXPECT_EQ(offered.front(), "headline.Text");  // in stack order
  for (const TBatchColumn& c : ClassifyColumns(offered, *sys, {})) {
    EXPECT_EQ(c.Kind, TColumnKind::ckProperty) << c.Name << ": " << c.Problem;
  }
}

}  // namespace
}  // namespace qv::test
