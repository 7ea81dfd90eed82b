// Files dropped on the work area: what each path is taken for, and the layers the taken ones make.
#include "editor_logic/Drops.h"

#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"
#include "raster/StreamBitmaps.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

struct Drops : ::testing::Test {
  TTestDir dir{"qv-drops"};
  std::string Picture(const std::string& Name, int W, int H) {
    TStreamedBitmap b(W, H);
    b.Fill(0xFF336699u);
    const std::string path = (dir / Name).string();
    b.SaveToFile(path);
    return path;
  }
};

TEST_F(Drops, EachPathIsTakenForWhatItIs) {
  std::filesystem::create_directory(dir / "frames");
  const std::pair<std::string, TDropKind> cases[] = {
      {Picture("logo.png", 4, 3), TDropKind::dkPicture},
      {dir.Write("photo.JPG", "x"), TDropKind::dkPicture},  // by its name; the layer tells a bad file
      {dir.Write("scan.tiff", "x"), TDropKind::dkPicture},
      {dir.Write("art.webp", "x"), TDropKind::dkPicture},
      {dir.Write("old.bmp", "x"), TDropKind::dkPicture},
      {(dir / "frames").string(), TDropKind::dkSequence},
      {dir.Write("news.txt", "one\n"), TDropKind::dkCrawl},
      {dir.Write("news.RTF", "{\\rtf1 x}"), TDropKind::dkCrawl},
      {dir.Write("page.QV", ""), TDropKind::dkProject},
      {dir.Write("page2.qv", ""), TDropKind::dkProject},
      {dir.Write("notes.docx", "x"), TDropKind::dkRefused},
      {dir.Write("README", "x"), TDropKind::dkRefused},
      {dir.Write("png", "x"), TDropKind::dkRefused},  // a name without an extension
      {(dir / "gone.png").string(), TDropKind::dkRefused},
      {"", TDropKind::dkRefused},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(ClassifyDrop(path), kind) << path;
}

TEST_F(Drops, SeveralAtOnceAndTheRefusedOnesNamed) {
  const std::string logo = Picture("logo.png", 4, 3);
  const std::string notes = dir.Write("notes.docx", "x");
  const std::string zip = dir.Write("media.zip", "x");
  const auto items = ClassifyDrops({logo, notes, zip});
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], (TDropItem{logo, TDropKind::dkPicture}));
  EXPECT_TRUE(AnyTaken(items));
  EXPECT_EQ(RefusedMessage(items), "Cannot use notes.docx, media.zip: not a picture, a folder, a text or RTF file or a QV project");
  const auto refused = ClassifyDrops({notes});
  EXPECT_FALSE(AnyTaken(refused));
  EXPECT_FALSE(AnyTaken({}));
  EXPECT_EQ(RefusedMessage(ClassifyDrops({logo})), "");
}

TEST_F(Drops, LayersAtTheDropPoint) {
  auto sys = Make<TQVSystem>(768, 576, TCompositionContext{}, false);
  std::filesystem::create_directory(dir / "frames");
  TStreamedBitmap frame(8, 6);
  frame.Fill(0xFF102030u);
  frame.SaveToFile((dir / "frames" / "f000.png").string());
  frame.SaveToFile((dir / "frames" / "f001.png").string());
  const std::string crawl = dir.Write("news.txt", "one\n");

  TLayer* picture = DropLayer(*sys, {Picture("logo.png", 40, 30), TDropKind::dkPicture}, {100, 50});
  ASSERT_NE(picture, nullptr);
  auto* image = dynamic_cast<TImageLayer*>(picture);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->X(), 100);
  EXPECT_EQ(image->Y(), 50);
  EXPECT_EQ(image->Width(), 40);
  EXPECT_EQ(image->Height(), 30);
  EXPECT_EQ(image->layerName(), "img000");
  EXPECT_EQ(sys->_SelectedLayer(), picture);  // a dropped layer is selected, to be moved at once

  auto* sequence = dynamic_cast<TMultiImageLayer*>(DropLayer(*sys, {(dir / "frames").string(), TDropKind::dkSequence}, {-5, 7}));
  ASSERT_NE(sequence, nullptr);
  EXPECT_EQ(sequence->FrameCount(), 2u);
  EXPECT_EQ(sequence->X(), -5);
  EXPECT_EQ(sequence->Y(), 7);
  EXPECT_EQ(sequence->layerName(), "Multi000");

  auto* roll = dynamic_cast<TRollLayer*>(DropLayer(*sys, {crawl, TDropKind::dkCrawl}, {300, 400}));
  ASSERT_NE(roll, nullptr);
  EXPECT_EQ(roll->TextFile(), crawl);
  EXPECT_EQ(roll->Y(), 400);
  EXPECT_EQ(roll->X(), 0);  // a crawl keeps its own left edge and width
  EXPECT_EQ(roll->IconIndex, 3);
  EXPECT_EQ(sys->_SelectedLayer(), roll);

  EXPECT_EQ(DropLayer(*sys, {dir.Write("p.QV", ""), TDropKind::dkProject}, {0, 0}), nullptr);
  EXPECT_EQ(DropLayer(*sys, {dir.Write("n.docx", ""), TDropKind::dkRefused}, {0, 0}), nullptr);
  EXPECT_EQ(sys->Layers.size(), 3u);
}

}  // namespace
}  // namespace qv::test
