// The export the editor calls: frames or a video of a range, progress after each frame, and a
// cancel or an error that leaves no output behind.
#include "Decode.h"
#include "support/Files.h"
#include "video/Export.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// A 16 x 16 half-transparent picture moving right 4 pixels a frame.
std::string Project(const TTestDir& dir) {
  std::string tga(18, '\0');
  tga[2] = 2;
  tga[12] = 16;
  tga[14] = 16;
  tga[16] = 32;
  tga[17] = 8 | 0x20;
  for (int i = 0; i < 256; ++i) tga += std::string{char(60), char(90), char(120), char(128)};
  dir.Write("p.tga", tga);
  return dir.Write("p.QV", "\tObject '':TImageLayer\r\n\t\tFileName = " + (dir / "p.tga").string() +
                               "\r\n\t\tX = 0\r\n\t\tAnim0 Constant 0 0.0000 50 200.0000 \r\n\t\tY = 10\r\n\t\tWidth = 16\r\n"
                               "\t\tHeight = 16\r\n\tEnd\r\n");
}

TEST(Export, FramesAndVideoWithProgress) {
  TTestDir dir("video-export");
  const std::string project = Project(dir);
  for (const auto kind : {video::TExportKind::ekPng, video::TExportKind::ekTga, video::TExportKind::ekVideo}) {
    video::TExportSettings s;
    s.Kind = kind;
    s.Output = kind == video::TExportKind::ekVideo ? (dir / "v.mov").string()
               : kind == video::TExportKind::ekPng ? (dir / "f%03d.png").string()
                                                   : (dir / "f%03d.tga").string();
    s.Codec = video::TVideoCodec::vcQtrle;
    s.From = 2;
    s.To = 5;
    std::vector<std::pair<int, int>> calls;
    EXPECT_TRUE(video::ExportProject(project, {}, s, [&](int d, int t) { calls.emplace_back(d, t); }));
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
  }
  for (const char* f : {"f002.png", "f005.png", "f002.tga", "f005.tga", "v.mov"}) EXPECT_TRUE(fs::exists(dir / f)) << f;
  EXPECT_FALSE(fs::exists(dir / "f001.png"));
  EXPECT_FALSE(fs::exists(dir / "f006.png"));
  // Frame 2 of the video is the PNG of frame 2: the picture at x = 8.
  const TDecodedVideo v = DecodeVideo((dir / "v.mov").string());
  ASSERT_EQ(v.frames.size(), 4u);
  EXPECT_EQ(v.frames[0], DecodeVideo((dir / "f002.png").string()).frames.at(0));
  EXPECT_EQ(v.frames[3], DecodeVideo((dir / "f005.png").string()).frames.at(0));
  EXPECT_NE(v.frames[0], v.frames[3]);
}

TEST(Export, CancelAndErrorsRemoveTheOutput) {
  TTestDir dir("video-export");
  const std::string project = Project(dir);
  const std::string sub = (dir / "out").string();
  fs::create_directory(sub);
  for (const auto kind : {video::TExportKind::ekPng, video::TExportKind::ekVideo}) {
    video::TExportSettings s;
    s.Kind = kind;
    s.Output = kind == video::TExportKind::ekVideo ? sub + "/v.mkv" : sub + "/f%03d.png";
    s.Codec = video::TVideoCodec::vcFfv1;
    s.From = 0;
    s.To = 9;
    std::atomic<bool> cancel{false};
    // Cancelled after the third frame, as a dialog's button would.
    EXPECT_FALSE(video::ExportProject(project, {}, s, [&](int d, int) { cancel = d == 3; }, &cancel));
    EXPECT_TRUE(fs::is_empty(sub)) << "left behind: " << fs::directory_iterator(sub)->path();
  }
  // A pattern without a frame number, and a folder that is not there: errors, nothing written.
  video::TExportSettings bad;
  bad.Kind = video::TExportKind::ekPng;
  bad.Output = sub + "/frame.png";
  EXPECT_THROW(video::ExportProject(project, {}, bad), std::exception);
  bad.Kind = video::TExportKind::ekVideo;
  bad.Output = sub + "/missing/v.mov";
  EXPECT_THROW(video::ExportProject(project, {}, bad), std::exception);
  EXPECT_TRUE(fs::is_empty(sub));
}

}  // namespace
}  // namespace qv::test
