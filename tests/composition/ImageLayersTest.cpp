#include "composition/FrameLoader.h"
#include "composition/ImageLayers.h"
#include "support/Files.h"
#include "support/ImageFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>
#include <utility>
#include <vector>


namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Straight RGBA -> the premultiplied BGRA bytes a layer holds.
std::array<std::uint8_t, 4> Premultiplied(const TRgbaImage& img, int x, int y) {
  const std::uint8_t* p = &img.rgba[(std::size_t(y) * img.w + x) * 4];
  auto m = [&](std::uint8_t c) { return std::uint8_t(std::lround(c * p[3] / 255.0)); };
  return {m(p[2]), m(p[1]), m(p[0]), p[3]};
}

std::array<std::uint8_t, 4> At(const TmemoryBitmap& b, int x, int y) {
  const std::uint8_t* p = b.PixelPtr(x, y);
  return {p[0], p[1], p[2], p[3]};
}

class ImageLayers : public ::testing::Test {
 protected:
  void SetUp() override {
    sys->OnMediaProblem = [this](const std::string& m) { problems.push_back(m); };
  }

  // A folder of frames "<stem><i>.png" for i = first..last, each w x h, frame i's pattern seeded i.
  fs::path MakeSequence(const std::string& name, int first, int last, int w, int h, const std::string& stem = "f_") {
    const fs::path folder = dir / name;
    fs::create_directories(folder);
    for (int i = first; i <= last; ++i) {
      WriteImage(folder / (stem + std::to_string(i) + ".png"), TRgbaImage::Pattern(w, h, std::uint8_t(i * 17)));
    }
    return folder;
  }
  static bool SameBytes(const TmemoryBitmap& a, const TmemoryBitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           (a.ByteSize() == 0 || std::memcmp(a.Bits, b.Bits, a.ByteSize()) == 0);
  }

  TTestDir dir{"layers"};
  TManualTickSource ticks;
  std::vector<std::string> problems;
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{.Ticks = &ticks}, true);
};

TEST_F(ImageLayers, ImageLayerDefaults) {
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  EXPECT_TRUE(l.AccpetResizeX);
  EXPECT_TRUE(l.AccpetResizeY);
  EXPECT_EQ(l.ClassName(), "TImageLayer");
  EXPECT_EQ(l.Properties().front()->Name, "FileName");
  EXPECT_EQ(l.Properties().size(), 10u);
  TMultiImageLayer& s = sys->NewLayer<TMultiImageLayer>();
  EXPECT_FALSE(s.AccpetResizeX);
  EXPECT_FALSE(s.AccpetResizeY);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < 4; ++i) names.push_back(s.Properties()[i]->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Directory", "Loop", "INFrames", "OUTFrames"}));
  EXPECT_EQ(s.INFramesProperty().Max(), 0);
}

TEST_F(ImageLayers, StillImageTakesItsSizeAndResamplesOncePerSize) {
  const TRgbaImage img = TRgbaImage::Pattern(100, 50, 3);
  WriteImage(dir / "a.png", img);
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  l.SetX(10);
  l.SetY(20);
  l.SetFileName((dir / "a.png").string());
  ASSERT_TRUE(l.Bitmap);
  EXPECT_EQ(l.Width(), 100);
  EXPECT_EQ(l.Height(), 50);

  sys->DrawAll(nullptr);
  EXPECT_FALSE(l.SBitmap);  // drawn without resampling
  for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 49}, {57, 31}}) {
    EXPECT_EQ(At(*sys->work, 10 + x, 20 + y), Premultiplied(img, x, y)) << x << "," << y;
  }
  EXPECT_EQ(At(*sys->work, 9, 20), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));

  l.SetWidth(200);
  l.SetHeight(100);
  sys->work->Fill(0);
  sys->DrawAll(nullptr);
  ASSERT_TRUE(l.SBitmap);
  EXPECT_EQ(l.SBitmap->Width(), 200);
  EXPECT_EQ(l.SBitmap->Height(), 100);
  EXPECT_EQ(At(*sys->work, 10 + 150, 20 + 70), At(*l.SBitmap, 150, 70));
  const TStreamedBitmap* cache = l.SBitmap.get();
  l.SetX(11);
  l.SetOpacity(128);
  sys->DrawAll(nullptr);
  EXPECT_EQ(l.SBitmap.get(), cache);  // moving and fading reuse the copy
  l.SetWidth(201);
  sys->DrawAll(nullptr);
  EXPECT_EQ(l.SBitmap->Width(), 201);
  EXPECT_TRUE(problems.empty());
}

TEST_F(ImageLayers, ColoursAreWeightedByAlphaOnceAtLoad) {
  TRgbaImage img(256, 3);
  for (int c = 0; c < 256; ++c) {
    img.Set(c, 0, std::uint8_t(c), std::uint8_t(255 - c), std::uint8_t(c / 2), 77);
    img.Set(c, 1, std::uint8_t(c), std::uint8_t(c), std::uint8_t(c), std::uint8_t(c));
    img.Set(c, 2, std::uint8_t(c), std::uint8_t(255 - c), 9, 255);
  }
  img.Set(0, 0, 0, 128, 255, 128);  // the documented pixel: blue 255, green 128, red 0, alpha 128
  WriteImage(dir / "p.png", img);
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  l.SetFileName((dir / "p.png").string());
  ASSERT_TRUE(l.Bitmap);
  EXPECT_EQ(At(*l.Bitmap, 0, 0), (std::array<std::uint8_t, 4>{128, 64, 0, 128}));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 256; ++x) ASSERT_EQ(At(*l.Bitmap, x, y), Premultiplied(img, x, y)) << x << "," << y;
  }
}

TEST_F(ImageLayers, UnreadablePicturesLeaveTheLayerEmpty) {
  std::ofstream(dir / "broken.png", std::ios::binary) << "\x89PNG\r\n\x1a\n garbage that is no PNG";
  std::ofstream(dir / "text.png") << "hello";
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  l.SetWidth(40);
  l.SetHeight(30);

  l.SetFileName((dir / "missing.png").string());
  EXPECT_FALSE(l.Bitmap);
  EXPECT_EQ(l.Width(), 40);  // the size stays
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("missing.png"), std::string::npos) << problems[0];

  l.SetFileName((dir / "broken.png").string());
  EXPECT_TRUE(!l.Bitmap || l.Bitmap->Empty());
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[1].find("broken.png"), std::string::npos) << problems[1];

  l.SetFileName("");
  EXPECT_FALSE(l.Bitmap);
  EXPECT_EQ(problems.size(), 2u);  // an empty name is not a problem
  sys->DrawAll(nullptr);
  EXPECT_EQ(At(*sys->work, 5, 5), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(ImageLayers, ZeroNegativeOrHugeSizesDrawNothing) {
  WriteImage(dir / "a.png", TRgbaImage::Pattern(8, 8, 1));
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  l.SetFileName((dir / "a.png").string());
  for (auto [w, h] : {std::pair{0, 8}, {8, 0}, {-5, 8}, {8, -1}, {100000, 100000}, {INT32_MAX, 2}}) {
    l.SetWidth(w);
    l.SetHeight(h);
    sys->work->Fill(0);
    sys->DrawAll(nullptr);
    sys->DrawAll(nullptr);
    EXPECT_EQ(At(*sys->work, 0, 0), (std::array<std::uint8_t, 4>{0, 0, 0, 0})) << w << "x" << h;
  }
}

TEST_F(ImageLayers, MovedProjectFindsItsMedia) {
  fs::create_directories(dir / "media");
  WriteImage(dir / "media" / "logo.png", TRgbaImage::Pattern(6, 4, 9));
  sys->ProjectFolder = dir.Path();
  TImageLayer& l = sys->NewLayer<TImageLayer>();
  l.SetFileName("D:\\media\\logo.png");
  ASSERT_TRUE(l.Bitmap);
  EXPECT_EQ(l.Width(), 6);
  EXPECT_EQ(l.FileName(), "D:\\media\\logo.png");  // the stored text is kept
  EXPECT_TRUE(problems.empty());
}

struct IndexCase {
  bool loop;
  int in, out, duration;
  TShowTime show;
  std::vector<std::pair<int, int>> frameToImage;  // relative frame -> image
};

TEST_F(ImageLayers, SequenceFrameSelection) {
  const IndexCase cases[] = {
      // plays once and holds the last image; before its in-point the first image
      {false, 0, 0, 250, stAllClip, {{0, 0}, {5, 5}, {9, 9}, {10, 9}, {400, 9}, {-5, 0}}},
      // intro 2, loop of 8
      {true, 2, 0, 250, stAllClip, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {9, 9}, {10, 2}, {11, 3}, {-3, 0}}},
      // outro 2 at the end of a 100-frame layer
      {true, 0, 2, 100, stAfterStart, {{97, 1}, {98, 2}, {99, 8}, {100, 9}, {101, 9}}},
      {true, 0, 2, 100, stBeforeEnd, {{99, 8}, {100, 9}}},
      // the outro never plays when every layer shows all the time
      {true, 0, 2, 100, stAllClip, {{98, 2}, {99, 3}, {100, 4}}},
      // intro and outro cover everything: the loop holds the image after the intro
      {true, 6, 4, 250, stAllClip, {{5, 5}, {6, 6}, {7, 6}, {50, 6}}},
      {true, 9, 3, 250, stAllClip, {{8, 8}, {9, 9}, {30, 9}}},
  };
  TMultiImageLayer& l = sys->NewLayer<TMultiImageLayer>();
  for (int i = 0; i < 10; ++i) l.Bitmaps.push_back(std::make_unique<TStreamedBitmap>(1, 1));
  l.INFramesProperty().SetMinMax(0, 9);
  l.OUTFramesProperty().SetMinMax(0, 9);
  for (const auto& c : cases) {
    l.SetLoop(c.loop);
    l.SetINFrames(c.in);
    l.SetOUTFrames(c.out);
    l.SetDuration(c.duration);
    sys->SetShowTime(c.show);
    for (int layerIn : {0, 30}) {
      l.SetLayerIN(layerIn);
      for (auto [rel, image] : c.frameToImage) {
        EXPECT_EQ(l.FrameIndex(rel + layerIn), image)
            << "loop " << c.loop << " in " << c.in << " out " << c.out << " show " << int(c.show) << " frame "
            << rel << " + " << layerIn;
      }
    }
  }
  l.Bitmaps.clear();
  EXPECT_EQ(l.FrameIndex(3), -1);
}

TEST_F(ImageLayers, SequenceLoadsInNaturalOrderAndSkipsWhatIsNoFrame) {
  const fs::path folder = MakeSequence("seq", 1, 12, 5, 4);
  fs::create_directories(folder / "sub");
  WriteImage(folder / "sub" / "f_0.png", TRgbaImage::Pattern(5, 4, 99));
  WriteImage(folder / ".hidden.png", TRgbaImage::Pattern(5, 4, 98));
  std::ofstream(folder / "f_6b.png", std::ios::binary) << "\x89PNG\r\n\x1a\n broken";
  std::ofstream(folder / "zz_notes.txt") << "not a picture";

  TMultiImageLayer& l = sys->NewLayer<TMultiImageLayer>();
  l.SetDirectory(folder.string());
  // f_1 .. f_12 in numeric order; f_6b is damaged and left out (reported); the text file is
  // recognised by no codec and takes a place as an empty frame.
  ASSERT_EQ(l.Bitmaps.size(), 13u);
  for (int i = 0; i < 12; ++i) {
    const TRgbaImage expected = TRgbaImage::Pattern(5, 4, std::uint8_t((i + 1) * 17));
    ASSERT_EQ(l.Bitmaps[std::size_t(i)]->Width(), 5) << i;
    EXPECT_EQ(At(*l.Bitmaps[std::size_t(i)], 3, 2), Premultiplied(expected, 3, 2)) << "frame " << i;
  }
  EXPECT_TRUE(l.Bitmaps[12]->Empty());
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_NE(problems[0].find("f_6b.png"), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("zz_notes.txt"), std::string::npos) << problems[1];
  EXPECT_EQ(l.INFramesProperty().Max(), 12);
  EXPECT_EQ(l.OUTFramesProperty().Max(), 12);
  EXPECT_EQ(l.Width(), 5);
  EXPECT_EQ(l.Height(), 4);
}

TEST_F(ImageLayers, ParallelLoadingGivesWhatLoadingOneByOneGives) {
  const fs::path folder = MakeSequence("seq", 1, 40, 33, 17);
  std::ofstream(folder / "f_20b.png", std::ios::binary) << "\x89PNG\r\n\x1a\n broken";
  const auto files = ListSequenceFiles(folder.string());
  ASSERT_EQ(files.size(), 41u);
  const auto serial = LoadFrames(files, 1);
  for (unsigned threads : {2u, 3u, 8u, 64u, 0u}) {
    const auto parallel = LoadFrames(files, threads);
    ASSERT_EQ(parallel.size(), serial.size());
    for (std::size_t i = 0; i < serial.size(); ++i) {
      ASSERT_EQ(bool(parallel[i].Bitmap), bool(serial[i].Bitmap)) << i;
      if (serial[i].Bitmap) {
        EXPECT_TRUE(SameBytes(*parallel[i].Bitmap, *serial[i].Bitmap)) << i;
      }
      EXPECT_EQ(parallel[i].Error, serial[i].Error);
    }
  }
  EXPECT_FALSE(serial[20].Bitmap);  // f_20b sorts after f_20
  EXPECT_NE(serial[20].Error.find("f_20b.png"), std::string::npos);
}

TEST_F(ImageLayers, ProgressIsToldOnTheCallingThreadAndEndsWithEveryFile) {
  const fs::path folder = MakeSequence("prog", 1, 30, 9, 7);
  const auto files = ListSequenceFiles(folder.string());
  ASSERT_EQ(files.size(), 30u);
  const auto serial = LoadFrames(files, 1);
  for (unsigned threads : {1u, 2u, 5u}) {
    std::vector<std::pair<std::size_t, std::size_t>> calls;
    bool offThread = false;
    const auto caller = std::this_thread::get_id();
    const auto loaded = LoadFrames(files, threads, [&](std::size_t done, std::size_t found) {
      offThread |= std::this_thread::get_id() != caller;
      calls.emplace_back(done, found);
    });
    EXPECT_FALSE(offThread) << threads;
    ASSERT_FALSE(calls.empty()) << threads;
    EXPECT_EQ(calls.back(), std::make_pair(files.size(), files.size())) << threads;
    for (std::size_t i = 1; i < calls.size(); ++i) {
      EXPECT_LE(calls[i - 1].first, calls[i].first) << threads;  // never goes back
      EXPECT_EQ(calls[i].second, files.size());
    }
    ASSERT_EQ(loaded.size(), serial.size());
    for (std::size_t i = 0; i < serial.size(); ++i) EXPECT_TRUE(SameBytes(*loaded[i].Bitmap, *serial[i].Bitmap)) << i;
  }

  // A sequence layer reports through its composition's hook.
  std::size_t last = 0;
  sys->OnLoadProgress = [&](std::size_t done, std::size_t found) { last = done == found ? found : last; };
  TMultiImageLayer& l = sys->NewLayer<TMultiImageLayer>();
  l.SetDirectory(folder.string());
  EXPECT_EQ(last, 30u);
  EXPECT_EQ(l.Bitmaps.size(), 30u);
}

// A sequence larger than the memory budget plays through a window of frames decoded ahead: every
// frame drawn is the frame a sequence held whole draws, in order, backwards, looped and jumped to,
// and no more frames than the window's capacity are held at any time.
TEST_F(ImageLayers, ASequenceOverTheBudgetPlaysTheSameFramesThroughAWindow) {
  const fs::path folder = MakeSequence("big", 1, 30, 9, 7);
  std::ofstream(folder / "f_20b.txt", std::ios::binary) << "notes between the frames";
  TMultiImageLayer& whole = sys->NewLayer<TMultiImageLayer>();
  whole.SetDirectory(folder.string());
  ASSERT_FALSE(whole.Window);
  ASSERT_EQ(whole.FrameCount(), 31u);
  problems.clear();

  auto small = Make<TQVSystem>(768, 576, TCompositionContext{.Ticks = &ticks}, true);
  std::vector<std::string> smallProblems;
  small->OnMediaProblem = [&](const std::string& m) { smallProblems.push_back(m); };
  small->SequenceMemoryBudget = 9 * 7 * 4 * 5;  // five frames
  TMultiImageLayer& windowed = small->NewLayer<TMultiImageLayer>();
  windowed.SetDirectory(folder.string());
  ASSERT_TRUE(windowed.Window);
  EXPECT_TRUE(windowed.Bitmaps.empty());
  EXPECT_EQ(windowed.FrameCount(), 31u);
  EXPECT_EQ(windowed.Width(), 9);
  EXPECT_EQ(windowed.Height(), 7);
  EXPECT_EQ(windowed.INFramesProperty().Max(), 30);
  EXPECT_TRUE(smallProblems.empty());  // nothing is read yet beyond the first frame

  auto frameAt = [&](TQVSystem& s, TMultiImageLayer& l, int f) {
    s.work->Fill(0);
    s.frame = f;
    s.DrawAll(nullptr);
    return std::vector<std::uint8_t>(s.work->PixelPtr(l.X(), l.Y()), s.work->PixelPtr(l.X(), l.Y()) + 9 * 4);
  };
  std::vector<int> frames;
  for (int f = 0; f < 31; ++f) frames.push_back(f);   // played
  for (int f = 30; f >= 0; f -= 3) frames.push_back(f);  // scrubbed back
  frames.insert(frames.end(), {5, 29, 0, 17, 17, 23});   // jumped
  for (int f : frames) {
    EXPECT_EQ(frameAt(*small, windowed, f), frameAt(*sys, whole, f)) << "frame " << f;
    EXPECT_LE(windowed.Window->Held(), windowed.Window->Capacity());
  }
  windowed.SetLoop(true);
  whole.SetLoop(true);
  for (int f = 25; f < 70; ++f) EXPECT_EQ(frameAt(*small, windowed, f), frameAt(*sys, whole, f)) << "looped " << f;

  // The file that is no picture shows as an empty frame in both, and is told once.
  ASSERT_EQ(smallProblems.size(), 1u);
  EXPECT_NE(smallProblems[0].find("f_20b.txt"), std::string::npos) << smallProblems[0];
  EXPECT_EQ(windowed.Window->Capacity(), 5u);
}

TEST_F(ImageLayers, AnotherFolderReplacesTheFrames) {
  const fs::path ten = MakeSequence("ten", 0, 9, 8, 6);
  const fs::path three = MakeSequence("three", 0, 2, 4, 3, "g");
  TMultiImageLayer& l = sys->NewLayer<TMultiImageLayer>();
  l.SetDirectory(ten.string());
  ASSERT_EQ(l.Bitmaps.size(), 10u);
  l.SetINFrames(7);
  EXPECT_EQ(l.INFrames(), 7);
  l.SetDirectory(three.string());
  EXPECT_EQ(l.Bitmaps.size(), 3u);
  EXPECT_EQ(l.INFramesProperty().Max(), 2);
  EXPECT_EQ(l.INFrames(), 7);  // a value set for the longer sequence stays until edited
  EXPECT_EQ(l.Width(), 4);
  EXPECT_EQ(l.Height(), 3);
  l.SetINFrames(7);
  EXPECT_EQ(l.INFrames(), 2);

  fs::create_directories(dir / "empty");
  l.SetDirectory((dir / "empty").string());
  EXPECT_TRUE(l.Bitmaps.empty());
  EXPECT_EQ(l.INFramesProperty().Min(), 0);
  EXPECT_EQ(l.INFramesProperty().Max(), -1);
  EXPECT_EQ(l.Width(), 0);
  sys->DrawAll(nullptr);
  EXPECT_TRUE(problems.empty());

  l.SetDirectory((dir / "nowhere").string());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("nowhere"), std::string::npos);
}

TEST_F(ImageLayers, SequenceOfMixedSizesDrawsEachFrameAtTheTopLeft) {
  const fs::path folder = dir / "mixed";
  fs::create_directories(folder);
  const TRgbaImage big = TRgbaImage::Pattern(20, 10, 5);
  const TRgbaImage small = TRgbaImage::Pattern(6, 4, 80);
  WriteImage(folder / "a1.png", big);
  WriteImage(folder / "a2.png", small);
  TMultiImageLayer& l = sys->NewLayer<TMultiImageLayer>();
  l.SetX(100);
  l.SetY(200);
  l.SetDirectory(folder.string());
  EXPECT_EQ(l.Width(), 20);
  EXPECT_EQ(l.Height(), 10);

  sys->frame = 1;
  sys->DrawAll(nullptr);
  EXPECT_EQ(At(*sys->work, 100, 200), Premultiplied(small, 0, 0));
  EXPECT_EQ(At(*sys->work, 105, 203), Premultiplied(small, 5, 3));
  EXPECT_EQ(At(*sys->work, 106, 203), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(At(*sys->work, 105, 204), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
  // Width and Height do not scale a sequence.
  l.SetWidth(300);
  sys->work->Fill(0);
  sys->frame = 0;
  sys->DrawAll(nullptr);
  EXPECT_EQ(At(*sys->work, 119, 209), Premultiplied(big, 19, 9));
  EXPECT_EQ(At(*sys->work, 120, 209), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(ImageLayers, LoopingSequenceDrawsTheChosenImage) {
  const fs::path folder = MakeSequence("loop", 0, 9, 2, 2);
  TMultiImageLayer& l = sys->NewLayer<TMultiImageLayer>();
  l.SetDirectory(folder.string());
  l.SetLoop(true);
  l.SetINFrames(2);
  l.SetLayerIN(5);
  for (auto [f, image] : {std::pair{5, 0}, {15, 2}, {16, 3}, {0, 0}}) {
    sys->frame = f;
    sys->DrawAll(nullptr);
    EXPECT_EQ(At(*sys->work, 1, 1), Premultiplied(TRgbaImage::Pattern(2, 2, std::uint8_t(image * 17)), 1, 1))
        << "frame " << f;
  }
  EXPECT_EQ(l.lasttick, ticks.TickCount());
}

}  // namespace
}  // namespace qv::test
