#include "animation/AnimationManager.h"
#include "composition/ImageLayers.h"
#include "project/ProjectFile.h"
#include "project/TextFile.h"
#include "support/Files.h"
#include "support/ImageFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::ReadBytes;
using test::TRgbaImage;
using test::TTestDir;
using test::WriteImage;

// A tick count that never moves, so no frame here is reset to 0 by a pause of the test machine.
TCompositionContext ManualTicks() {
  static TManualTickSource ticks;
  return {.Ticks = &ticks};
}

class ProjectFile : public ::testing::Test {
 protected:
  // The track of P in Slot, in the registry of P's page.
  static Tkeys* TrackOf(const TBaseProperty& P, int Slot) {
    return P.AnimationManager() ? P.AnimationManager()->trygetAnimation(&P, Slot) : nullptr;
  }
  std::unique_ptr<TQVSystem> NewComposition() {
    auto s = Make<TQVSystem>(768, 576, ManualTicks(), true);
    s->OnMediaProblem = [this](const std::string& m) { problems.push_back(m); };
    return s;
  }
  fs::path Write(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes); }
  // Loads text into a fresh composition; the error, if any, in `error`.
  std::unique_ptr<TQVSystem> Load(const std::string& text, std::string* error = nullptr, int* line = nullptr) {
    auto s = NewComposition();
    const fs::path p = Write("in.QV", text);
    try {
      s->LoadFromFile(p.string());
    } catch (const EProjectError& e) {
      if (error) *error = e.what();
      if (line) *line = e.Line();
    }
    return s;
  }
  static TImageLayer& Image(TQVSystem& s, std::size_t i) { return dynamic_cast<TImageLayer&>(*s.Layers.at(i)); }

  TTestDir dir{"project"};
  std::vector<std::string> problems;
};

// The composition of the documented example: one image layer fading in and moving right.
std::unique_ptr<TQVSystem> ExampleComposition(std::vector<std::string>& problems) {
  auto sys = Make<TQVSystem>(768, 576, ManualTicks(), true);
  sys->OnMediaProblem = [&](const std::string& m) { problems.push_back(m); };
  sys->SetDuration(10.0);
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  l.SetFileName("D:\\media\\logo.png");
  l.SetlayerName("img000");
  l.SetOpacity(0);
  l.SetX(0);
  l.SetY(32);
  l.SetWidth(200);
  l.SetHeight(100);
  Tkeys* opacity = l.OpacityProperty().Animation(true, 0);
  opacity->AddKey(0.0, 0.0);
  opacity->AddKey(25.0, 255.0);
  Tkeys* x = l.XProperty().Animation(true, 0);
  x->AddKey(0.0, 0.0);
  x->AddKey(50.0, 400.0);
  return sys;
}

TEST_F(ProjectFile, WritesTheDocumentedExampleByteForByte) {
  auto sys = ExampleComposition(problems);
  const fs::path out = dir / "example.QV";
  sys->SaveToFile(out.string());
  EXPECT_EQ(ReadBytes(out), ReadBytes(fs::path(QV_TEST_DATA_DIR) / "example.QV"));
  EXPECT_TRUE(sys->ffilename.empty());  // saving does not change the remembered name
}

TEST_F(ProjectFile, ReadsTheDocumentedExampleBack) {
  // The project has moved: its logo lies in media/ beside it.
  fs::create_directories(dir / "media");
  WriteImage(dir / "media" / "logo.png", TRgbaImage::Pattern(640, 480, 1));
  fs::copy_file(fs::path(QV_TEST_DATA_DIR) / "example.QV", dir / "example.QV");
  auto sys = NewComposition();
  sys->LoadFromFile((dir / "example.QV").string());

  EXPECT_EQ(sys->ffilename, (dir / "example.QV").string());
  EXPECT_DOUBLE_EQ(sys->Duration(), 10.0);
  EXPECT_EQ(sys->ShowTime(), stAllClip);
  ASSERT_EQ(sys->Layers.size(), 1u);
  TImageLayer& l = Image(*sys, 0);
  EXPECT_EQ(l.FileName(), "D:\\media\\logo.png");
  EXPECT_EQ(l.layerName(), "img000");
  EXPECT_TRUE(l.Visible());
  EXPECT_EQ(l.Opacity(), 0);
  EXPECT_EQ(l.X(), 0);
  EXPECT_EQ(l.Y(), 32);
  ASSERT_TRUE(l.Bitmap);  // reloaded from the file...
  EXPECT_EQ(l.Bitmap->Width(), 640);
  EXPECT_EQ(l.Width(), 200);  // ...and the stored size restored after the reload
  EXPECT_EQ(l.Height(), 100);
  EXPECT_EQ(l.LayerIN(), 0);
  EXPECT_EQ(l.Duration(), 250);
  for (TBaseProperty* p : {static_cast<TBaseProperty*>(&l.OpacityProperty()), static_cast<TBaseProperty*>(&l.XProperty())}) {
    Tkeys* t = TrackOf(*p, 0);
    ASSERT_NE(t, nullptr) << p->Name;
    ASSERT_EQ(t->Count(), 2) << p->Name;
    EXPECT_EQ(t->Foutat, atConstant);
  }
  Tkeys* x = TrackOf(l.XProperty(), 0);
  EXPECT_EQ(x->key(1)->fframe, 50.0);
  EXPECT_EQ(x->key(1)->fvalue, 400.0);
  EXPECT_TRUE(problems.empty());

  // At frame 25 the layer is fully opaque and half way.
  sys->frame = 25;
  sys->DrawAll(nullptr);
  EXPECT_EQ(l.Opacity(), 255);
  EXPECT_EQ(l.X(), 200);
  ASSERT_TRUE(l.SBitmap);
  EXPECT_EQ(l.SBitmap->Width(), 200);

  // And it writes the same bytes again (values at frame 0 as stored).
  sys->frame = 0;
  sys->DrawAll(nullptr);
  sys->SaveToFile((dir / "again.QV").string());
  EXPECT_EQ(ReadBytes(dir / "again.QV"), ReadBytes(fs::path(QV_TEST_DATA_DIR) / "example.QV"));
}

TEST_F(ProjectFile, StoredSizeWinsOverThePicturesSize) {
  WriteImage(dir / "big.png", TRgbaImage::Pattern(640, 480, 2));
  const std::string text = Lines({"\tObject '':TImageLayer", ("\t\tFileName = " + (dir / "big.png").string()).c_str(),
                                  "\t\tWidth = 320", "\t\tHeight = 240", "\tEnd"});
  auto sys = Load(text);
  ASSERT_EQ(sys->Layers.size(), 1u);
  TImageLayer& l = Image(*sys, 0);
  EXPECT_EQ(l.Width(), 320);
  EXPECT_EQ(l.Height(), 240);
  sys->DrawAll(nullptr);
  ASSERT_TRUE(l.SBitmap);
  EXPECT_EQ(l.SBitmap->Width(), 320);
  EXPECT_EQ(l.SBitmap->Height(), 240);
}

TEST_F(ProjectFile, SaveAndLoadKeepWhatTheFormatCarries) {
  fs::create_directories(dir / "seq");
  for (int i = 1; i <= 3; ++i) WriteImage(dir / "seq" / ("s" + std::to_string(i) + ".png"), TRgbaImage::Pattern(4, 4, 3));
  auto sys = NewComposition();
  sys->SetShowTime(stBeforeEnd);
  sys->SetDurationType(dtFixed);
  sys->SetDuration(1.0 / 3.0);
  sys->SetTime(12.5);
  TImageLayer& a = sys->NewLayer<TImageLayer>();
  a.SetlayerName("  padded name  ");
  a.SetVisible(false);
  a.SetOpacity(77);
  a.SetX(-12);
  a.SetWidth(33);
  TMultiImageLayer& b = sys->NewLayer<TMultiImageLayer>();
  b.SetDirectory((dir / "seq").string());
  b.SetLoop(true);
  b.SetINFrames(1);
  b.SetOUTFrames(1);
  b.SetLayerIN(10);
  b.SetDuration(40);
  TImageLayer& c = sys->NewLayer<TImageLayer>();
  c.SetlayerName("third");

  Tkeys* fade = a.OpacityProperty().Animation(true, 0);
  fade->AddKey(0.0, 10.0);
  fade->AddKey(10.0, 123.456789);
  fade->Foutat = atPingPong;
  fade->finat = atLoop;
  fade->key(0)->fTag = 7;
  Tkeys* flat = a.YProperty().Animation(true, 0);
  flat->AddKey(0.0, 5.0);
  flat->AddKey(9.0, 5.0);
  a.WidthProperty().Animation(true, 0)->AddKey(3.0, 44.0);  // a single key
  Tkeys* names = a.NameProperty().Animation(true, 0);
  names->AddKey(0.0, std::string("A"));
  names->AddKey(5.0, std::string("B"));
  Tkeys* slot2 = b.XProperty().Animation(true, 2);
  slot2->AddKey(0.0, 1.0);
  slot2->AddKey(4.0, 9.0);
  slot2->Foutat = atRelativeRepeat;

  const fs::path file = dir / "round.QV";
  sys->SaveToFile(file.string());
  const std::string text = ReadBytes(file);
  EXPECT_EQ(text.find("Anim0 Constant 0 5.0000"), std::string::npos);  // flat track not written
  EXPECT_NE(text.find("\t\tOpacity = 77\r\n\t\tAnim0 PingPong 0 10.0000 10 123.4568 \r\n"), std::string::npos);
  EXPECT_NE(text.find("\t\tX = 0\r\n\t\tAnim2 RelRepeat 0 1.0000 4 9.0000 \r\n"), std::string::npos);
  EXPECT_NE(text.find("Duration = 0.33333333\r\n"), std::string::npos);

  auto back = NewComposition();
  back->LoadFromFile(file.string());
  EXPECT_EQ(back->ShowTime(), stBeforeEnd);
  EXPECT_EQ(back->DurationType(), dtFixed);
  EXPECT_DOUBLE_EQ(back->Duration(), 0.33333333);
  EXPECT_DOUBLE_EQ(back->Time(), 12.5);
  ASSERT_EQ(back->Layers.size(), 3u);
  EXPECT_EQ(back->Layers[0]->ClassName(), "TImageLayer");
  EXPECT_EQ(back->Layers[1]->ClassName(), "TMultiImageLayer");
  EXPECT_EQ(back->Layers[2]->layerName(), "third");
  TImageLayer& a2 = Image(*back, 0);
  EXPECT_EQ(a2.layerName(), "padded name");  // blanks around a string do not survive
  EXPECT_FALSE(a2.Visible());
  EXPECT_EQ(a2.Opacity(), 77);
  EXPECT_EQ(a2.X(), -12);
  EXPECT_EQ(a2.Width(), 33);
  Tkeys* fade2 = TrackOf(a2.OpacityProperty(), 0);
  ASSERT_NE(fade2, nullptr);
  ASSERT_EQ(fade2->Count(), 2);
  EXPECT_DOUBLE_EQ(fade2->key(1)->fvalue, 123.4568);  // key values keep 4 decimals
  EXPECT_EQ(fade2->Foutat, atPingPong);
  EXPECT_EQ(fade2->finat, atConstant);  // not carried
  EXPECT_EQ(fade2->key(0)->fTag, 0);    // not carried
  EXPECT_FALSE(a2.YProperty().HasAnimation(0));
  EXPECT_FALSE(a2.WidthProperty().HasAnimation(0));
  EXPECT_FALSE(a2.NameProperty().HasAnimation(0));
  auto& b2 = dynamic_cast<TMultiImageLayer&>(*back->Layers[1]);
  EXPECT_EQ(b2.Bitmaps.size(), 3u);
  EXPECT_TRUE(b2.Loop());
  EXPECT_EQ(b2.INFrames(), 1);
  EXPECT_EQ(b2.OUTFrames(), 1);
  EXPECT_EQ(b2.LayerIN(), 10);
  EXPECT_EQ(b2.Duration(), 40);
  Tkeys* slot2back = TrackOf(b2.XProperty(), 2);
  ASSERT_NE(slot2back, nullptr);
  EXPECT_EQ(slot2back->Foutat, atRelativeRepeat);
  EXPECT_EQ(b2.AnimationManager()->Slot, 0);  // the reader puts the current slot back
}

TEST_F(ProjectFile, LineFormsTheReaderForgives) {
  struct Case {
    const char* name;
    std::string text;
    std::size_t layers;
    int x;  // X of the last layer
  };
  const Case cases[] = {
      {"unknown block with nested blocks is skipped",
       Lines({"Object '':TImageLayer", "X = 1", "End", "Object '':TWhatever", "X = 50", "Object 'Font':TTextFont",
              "Size = 3", "End", "End", "Object '':TImageLayer", "X = 2", "End"}),
       2, 2},
      {"every layer kind is made",
       Lines({"Object '':TTextLayer", "Text = hi", "End", "Object '':TClockLayer", "End", "Object '':TRollLayer",
              "End", "Object '':TImageLayer", "X = 3", "End"}),
       4, 3},
      {"no blank before the equals sign loses a letter of the name",
       Lines({"Object '':TImageLayer", "X = 4", "X=5", "End"}), 1, 4},
      {"indentation means nothing", Lines({"  \t Object '':TImageLayer", "\x01X = 6", "End"}), 1, 6},
      {"class keywords and names ignore case", Lines({"Object '':timagelayer", "x = 7", "End"}), 1, 7},
      {"blank lines are skipped", Lines({"Object '':TImageLayer", "", "   ", "X = 8", "End"}), 1, 8},
      {"an End with no block open is ignored",
       Lines({"End", "Object '':TImageLayer", "X = 9", "End", "End", "Object '':TImageLayer", "X = 10", "End"}), 2, 10},
      {"a file that ends inside a block", Lines({"Object '':TImageLayer", "X = 11"}), 1, 11},
      {"lines without an equals sign are ignored", Lines({"Object '':TImageLayer", "X = 12", "garbage", "End"}), 1, 12},
      {"an unreadable number keeps the value", Lines({"Object '':TImageLayer", "X = 13", "Y = 12abc", "End"}), 1, 13},
      {"the old class keyword TObjects is the composition",
       Lines({"Object '':TObjects", "Duration = 4.5", "End", "Object '':TImageLayer", "X = 14", "End"}), 1, 14},
      {"lone CR line ends", "Object '':TImageLayer\rX = 15\rEnd\r", 1, 15},
      {"byte-order mark", "\xEF\xBB\xBFObject '':TImageLayer\nX = 16\nEnd\n", 1, 16},
      {"UTF-16", std::string("\xFF\xFEO\0b\0j\0e\0c\0t\0 \0'\0'\0:\0T\0I\0m\0a\0g\0e\0L\0a\0y\0e\0r\0\n\0X\0 \0=\0 \0"
                             "1\0""7\0\n\0E\0n\0d\0\n\0", 66),
       1, 17},
  };
  for (const auto& c : cases) {
    std::string error;
    auto sys = Load(c.text, &error);
    EXPECT_EQ(error, "") << c.name;
    ASSERT_EQ(sys->Layers.size(), c.layers) << c.name;
    EXPECT_EQ(sys->Layers.back()->X(), c.x) << c.name;
  }
}

TEST_F(ProjectFile, ValuesWithADecimalComma) {
  auto sys = Load(Lines({"Object '':TQVSystem", "Duration = 10,50000000", "End", "Object '':TImageLayer",
                         "X = 0", "Anim0 Constant 0 0,5000 25 255,2500 ", "End"}));
  EXPECT_DOUBLE_EQ(sys->Duration(), 10.5);
  ASSERT_EQ(sys->Layers.size(), 1u);
  Tkeys* t = TrackOf(sys->Layers[0]->XProperty(), 0);
  ASSERT_NE(t, nullptr);
  EXPECT_DOUBLE_EQ(t->key(0)->fvalue, 0.5);
  EXPECT_DOUBLE_EQ(t->key(1)->fvalue, 255.25);
}

TEST_F(ProjectFile, AnimationLines) {
  auto sys = Load(Lines({"Object '':TImageLayer",
                         "Anim0 Linear 0 1.0 5 2.0 ",  // before any property: ignored
                         "X = 0",
                         "Anim0 Loop 0 0.0000 10 100.0000 ",
                         "Anim0 Bogus 20 50.0000 ",      // unknown mode: keeps Loop, adds a key
                         "Anim16 Constant 0 1.0 9 2.0 ", // no slot 16: skipped
                         "Anim-1 Constant 0 1.0 9 2.0 ", // nor -1
                         "Anim0 Loop 30 7.0 40",         // a frame without a value: ignored
                         "Nope = 3",                     // no such property: later lines ignored
                         "Anim0 Constant 0 9.0 1 9.5 ",
                         "Y = 0",
                         "Anim3 Cycle 0 1.0 4 2.0 ",
                         "End"}));
  ASSERT_EQ(sys->Layers.size(), 1u);
  TLayer& l = *sys->Layers[0];
  Tkeys* x = TrackOf(l.XProperty(), 0);
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->Foutat, atLoop);
  ASSERT_EQ(x->Count(), 4);  // 0, 10, 20, 30
  EXPECT_EQ(x->key(2)->fframe, 20.0);
  EXPECT_EQ(x->key(3)->fframe, 30.0);
  EXPECT_DOUBLE_EQ(x->key(3)->fvalue, 7.0);
  EXPECT_EQ(TrackOf(l.XProperty(), 16), x);
  EXPECT_EQ(TrackOf(l.XProperty(), 1), nullptr);
  Tkeys* y3 = TrackOf(l.YProperty(), 3);
  ASSERT_NE(y3, nullptr);
  EXPECT_EQ(y3->Foutat, atCycle);
  EXPECT_EQ(l.AnimationManager()->Slot, 0);  // the reader puts the current slot back
  EXPECT_FALSE(l.OpacityProperty().HasAnimation(0));
}

struct DamageCase {
  const char* name;
  const char* badLine;
};

TEST_F(ProjectFile, ABadNumberInAnAnimationLineStopsTheLoadAndNamesTheLine) {
  const DamageCase cases[] = {
      {"slot", "Anim0x Constant 0 1.0 5 2.0 "},
      {"missing slot", "Anim Constant 0 1.0 5 2.0 "},
      {"frame", "Anim0 Constant zero 1.0 5 2.0 "},
      {"fractional frame", "Anim0 Constant 0 1.0 5.5 2.0 "},
      {"value", "Anim0 Constant 0 1.0 5 two "},
  };
  WriteImage(dir / "ok.png", TRgbaImage::Pattern(5, 5, 1));
  const std::string file = (dir / "ok.png").string();
  for (const auto& c : cases) {
    const std::string text = Lines({"Object '':TQVSystem", "Duration = 2.00000000", "End",
                                    "Object '':TImageLayer", ("FileName = " + file).c_str(), "X = 1", "End",
                                    "Object '':TImageLayer", "X = 2", c.badLine, "Y = 5", "End",
                                    "Object '':TImageLayer", "X = 3", "End"});
    std::string error;
    int line = 0;
    auto sys = Load(text, &error, &line);
    EXPECT_EQ(line, 10) << c.name;
    EXPECT_NE(error.find((dir / "in.QV").string()), std::string::npos) << error;
    EXPECT_NE(error.find("line 10"), std::string::npos) << error;
    // The composition's values and the first layer stay; the half-read layer and the rest do not.
    EXPECT_DOUBLE_EQ(sys->Duration(), 2.0);
    ASSERT_EQ(sys->Layers.size(), 1u) << c.name;
    EXPECT_EQ(sys->Layers[0]->X(), 1);
    EXPECT_TRUE(Image(*sys, 0).Bitmap) << "the completed layer has its picture";
    EXPECT_TRUE(sys->ffilename.empty());
    // Nothing stays muted: a change inside the layer still reaches the layer's subscribers.
    int heard = 0;
    sys->Layers[0]->AddChangeNotify(this, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++heard; });
    sys->Layers[0]->SetX(9);
    EXPECT_EQ(heard, 1) << c.name;
  }
}

TEST_F(ProjectFile, ABadLineInsideTheCompositionsBlockLeavesItUnmuted) {
  std::string error;
  auto sys = Load(Lines({"Object '':TQVSystem", "Duration = 2.00000000", "Anim0 Constant x", "End"}), &error);
  EXPECT_FALSE(error.empty());
  int heard = 0;
  sys->AddChangeNotify(this, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++heard; });
  sys->SetDuration(5.0);
  EXPECT_EQ(heard, 1);
}

TEST_F(ProjectFile, MissingFileAndUnwritableTarget) {
  auto sys = NewComposition();
  const std::string missing = (dir / "nope.QV").string();
  try {
    sys->LoadFromFile(missing);
    FAIL();
  } catch (const EProjectError& e) {
    EXPECT_EQ(e.FileName(), missing);
    EXPECT_EQ(e.Line(), 0);
  }
  EXPECT_TRUE(sys->Layers.empty());

  const fs::path target = dir / "keep.QV";
  std::ofstream(target, std::ios::binary) << "old contents";
  sys->NewLayer<TImageLayer>();
  const std::string inMissingFolder = (dir / "no" / "such" / "x.QV").string();
  EXPECT_THROW(sys->SaveToFile(inMissingFolder), EProjectError);
  EXPECT_THROW(sys->SaveToFile(dir.Path().string()), EProjectError);  // a folder
  EXPECT_EQ(ReadBytes(target), "old contents");
  sys->SaveToFile(target.string());
  EXPECT_NE(ReadBytes(target).find("TImageLayer"), std::string::npos);
}

TEST_F(ProjectFile, AnEnumerationOrdinalFromElsewhereSurvivesAResave) {
  auto sys = Load(Lines({"Object '':TQVSystem", "ShowTime = 7", "End"}));
  EXPECT_EQ(sys->ShowTimeProperty().Ordinal(), 7);
  sys->SaveToFile((dir / "out.QV").string());
  EXPECT_NE(ReadBytes(dir / "out.QV").find("ShowTime = 7\r\n"), std::string::npos);
  // An unknown ShowTime applies the time rule, like the two named ones.
  sys->SetDurationType(dtFixed);
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  l.SetLayerIN(100);
  int drawn = 0;
  l.OnAfterDraw = [&](TLayer*, TmemoryBitmap&) { ++drawn; };
  sys->frame = 0;
  sys->DrawAll(nullptr);
  EXPECT_EQ(drawn, 0);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Lines cut, swapped, duplicated and sprinkled with odd bytes from a valid project: the reader
// either reads them or stops with a file error, and the composition stays usable.
TEST_F(ProjectFile, DamagedFilesNeverBreakTheReader) {
  std::vector<std::string> good;
  {
    std::vector<std::string> unused;
    auto sys = ExampleComposition(unused);
    TProjectTextWriter w;
    sys->SaveToStream("\t", w);
    for (const auto& l : sys->Layers) l->SaveToStream("\t", w);
    sys->NewLayer<TMultiImageLayer>().SaveToStream("\t", w);
    good = DecodeTextLines(w.Text());
  }
  std::mt19937 rng(1234);
  const std::string odd[] = {"Object", "End", "Anim", "Anim99 Loop 1 2 ", "Anim0 ", "=", "Object '':", ":", "\x01\xff",
                             "Object 'x':TColor4", "Opacity = -99999999999", "X = 0x7fffffff", "Anim0 Linear 2147483647 1e308 "};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> lines = good;
    const int edits = 1 + int(rng() % 6);
    for (int e = 0; e < edits; ++e) {
      const std::size_t i = rng() % lines.size();
      switch (rng() % 5) {
        case 0: lines.erase(lines.begin() + long(i)); break;
        case 1: lines.insert(lines.begin() + long(i), odd[rng() % std::size(odd)]); break;
        case 2: lines[i] = lines[i].substr(0, rng() % (lines[i].size() + 1)); break;
        case 3: std::swap(lines[i], lines[rng() % lines.size()]); break;
        default: lines.insert(lines.begin() + long(i), lines[rng() % lines.size()]); break;
      }
      if (lines.empty()) lines.push_back("End");
    }
    auto sys = NewComposition();
    try {
      ParseProjectLines(lines, "damaged.QV", *sys, [&](TContainerObject* o) {
        for (const auto& l : sys->Layers) {
          if (l.get() == o) {
            sys->DeleteLayer(l.get());
            return;
          }
        }
      });
    } catch (const EProjectError& e) {
      EXPECT_EQ(e.FileName(), "damaged.QV");
      EXPECT_GT(e.Line(), 0);
    }
    sys->frame = int(rng() % 100);
    sys->DrawAll(nullptr);
    TProjectTextWriter again;
    sys->SaveToStream("\t", again);
  }
}

TEST_F(ProjectFile, DeeplyNestedBlocksAreReadWithoutRecursion) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200000; ++i) lines.push_back("Object 'x':TNothing");
  lines.push_back("X = 1");
  for (int i = 0; i < 200000; ++i) lines.push_back("End");
  lines.push_back("Object '':TImageLayer");
  lines.push_back("X = 5");
  lines.push_back("End");
  auto sys = NewComposition();
  ParseProjectLines(lines, "deep.QV", *sys, nullptr);
  ASSERT_EQ(sys->Layers.size(), 1u);
  EXPECT_EQ(sys->Layers[0]->X(), 5);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// Pages of other sizes than 768 × 576 state their size at the end of the composition's block;
// standard pages never do, so their files stay as they always were.
TEST_F(ProjectFile, APageOfAnotherSizeStatesItAndReadsBackByteExact) {
  auto hd = NewComposition();
  int changes = 0;
  auto connection = hd->onPageSizeChanged.Connect([&](TQVSystem*) { ++changes; });
  hd->SetPageSize(1920, 1080);
  EXPECT_EQ(changes, 1);
  ASSERT_TRUE(hd->work);
  EXPECT_EQ(hd->work->Width(), 1920);
  EXPECT_EQ(hd->work->Height(), 1080);
  hd->NewLayer<TImageLayer>().SetlayerName("strap");
  const fs::path file = dir / "hd.QV";
  hd->SaveToFile(file.string());
  const std::string bytes = ReadBytes(file);
  EXPECT_NE(bytes.find("\t\tDuration = 3.00000000\r\n\t\tWidth = 1920\r\n\t\tHeight = 1080\r\n\tEnd\r\n\tObject '':TImageLayer"),
            std::string::npos)
      << bytes;

  auto read = NewComposition();
  read->LoadFromFile(file.string());
  EXPECT_EQ(read->fwidth, 1920);
  EXPECT_EQ(read->fheight, 1080);
  EXPECT_EQ(read->work->Width(), 1920);
  ASSERT_EQ(read->Layers.size(), 1u);
  const fs::path again = dir / "again.QV";
  read->SaveToFile(again.string());
  EXPECT_EQ(ReadBytes(again), bytes);

  // Back to the standard size: the lines go.
  read->SetPageSize(768, 576);
  read->SaveToFile(again.string());
  EXPECT_EQ(ReadBytes(again).find("Width = 768"), std::string::npos);
}

TEST_F(ProjectFile, PageSizesAreKeptWithinTheirLimits) {
  struct {
    const char* width;
    const char* height;
    std::int32_t w, h;
  } cases[] = {{"1280", "720", 1280, 720}, {"9999", "5000", 3840, 2160}, {"0", "-4", 1, 1}, {"3840", "2160", 3840, 2160}};
  for (const auto& c : cases) {
    const std::string w = std::string("Width = ") + c.width;
    const std::string h = std::string("Height = ") + c.height;
    auto sys = Load(Lines({"Object '':TQVSystem", "Duration = 2.00000000", w.c_str(), h.c_str(), "End"}));
    EXPECT_EQ(sys->fwidth, c.w) << c.width;
    EXPECT_EQ(sys->fheight, c.h) << c.height;
    EXPECT_EQ(sys->work->Width(), c.w);
    EXPECT_EQ(sys->work->Height(), c.h);
  }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

// The "FileName = …" and "Directory = …" values a project file holds, in order.
std::vector<std::string> MediaLines(const fs::path& File) {
  std::vector<std::string> values;
  for (const std::string& line : ReadTextLines(File.string())) {
    for (const char* key : {"FileName = ", "Directory = "}) {
      const std::size_t at = line.find(key);
      if (at != std::string::npos) values.push_back(line.substr(at + std::string(key).size()));
    }
  }
  return values;
}

// Media picked through a dialog (absolute paths) are saved relative to the project when they lie
// in its folder or below it, absolutely otherwise; "Save As" into another folder writes them again
// for the new place; every file written reads back with its media found, also after the project's
// folder moved.
TEST_F(ProjectFile, MediaPathsAreWrittenForTheFileTheyGoInto) {
  const fs::path show = dir / "show";
  fs::create_directories(show / "media" / "badge");
  WriteImage(show / "media" / "strap.png", TRgbaImage::Pattern(40, 20, 1));
  WriteImage(show / "media" / "badge" / "b_1.png", TRgbaImage::Pattern(8, 8, 2));
  WriteImage(show / "media" / "badge" / "b_2.png", TRgbaImage::Pattern(8, 8, 3));
  auto page = NewComposition();
  page->NewLayer<TImageLayer>().SetFileName((show / "media" / "strap.png").string());
  page->NewLayer<TMultiImageLayer>().SetDirectory((show / "media" / "badge").string());
  page->NewLayer<TImageLayer>().SetFileName("D:\\media\\logo.png");  // another system's: kept as it is
  problems.clear();

  const std::string strap = (show / "media" / "strap.png").string();
  const std::string badge = (show / "media" / "badge").string();
  struct TCase {
    const char* Kind;
    fs::path File;
    std::vector<std::string> Stored;
  };
  const TCase cases[] = {
      {"inside", show / "page.QV", {"media\\strap.png", "media\\badge", "D:\\media\\logo.png"}},
      {"beside the picture", show / "media" / "page.QV", {"strap.png", "badge", "D:\\media\\logo.png"}},
      {"outside", dir / "elsewhere" / "page.QV", {strap, badge, "D:\\media\\logo.png"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Kind);
    fs::create_directories(c.File.parent_path());
    page->SaveToFile(c.File.string());
    EXPECT_EQ(MediaLines(c.File), c.Stored);
    auto back = NewComposition();
    back->LoadFromFile(c.File.string());
    ASSERT_EQ(back->Layers.size(), 3u);
    ASSERT_TRUE(Image(*back, 0).Bitmap);
    EXPECT_EQ(Image(*back, 0).Bitmap->Width(), 40);
    EXPECT_EQ(dynamic_cast<TMultiImageLayer&>(*back->Layers[1]).FrameCount(), 2u);
  }
  // The page in memory keeps what it holds.
  EXPECT_EQ(Image(*page, 0).FileName(), strap);

  // Save As from a page read with relative paths: into the folder above it (still below), and
  // into another folder (outside); saved back where it came from, it is the same file byte for byte.
  auto opened = NewComposition();
  opened->LoadFromFile((show / "page.QV").string());
  const std::string original = ReadBytes(show / "page.QV");
  const TCase saveAs[] = {
      {"the folder above", dir / "up.QV", {"show\\media\\strap.png", "show\\media\\badge", "D:\\media\\logo.png"}},
      {"another folder", dir / "copy" / "page.QV", {strap, badge, "D:\\media\\logo.png"}},
      {"where it came from", show / "again.QV", {"media\\strap.png", "media\\badge", "D:\\media\\logo.png"}},
  };
  for (const TCase& c : saveAs) {
    SCOPED_TRACE(c.Kind);
    fs::create_directories(c.File.parent_path());
    opened->SaveToFile(c.File.string());
    EXPECT_EQ(MediaLines(c.File), c.Stored);
  }
  EXPECT_EQ(ReadBytes(show / "again.QV"), original);

  // The folder moves with its media: the relative paths still find them.
  fs::rename(show, dir / "moved");
  auto moved = NewComposition();
  problems.clear();
  moved->LoadFromFile((dir / "moved" / "page.QV").string());
  ASSERT_TRUE(Image(*moved, 0).Bitmap);
  EXPECT_EQ(Image(*moved, 0).Bitmap->Width(), 40);
  EXPECT_EQ(problems.size(), 1u);  // only the other system's logo
}

}  // namespace
}  // namespace qv
