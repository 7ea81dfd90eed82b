// The video encoder on small frames whose every pixel is known: what the libraries decode from our
// files matches our frames (exactly for the lossless codecs, within the codec's loss otherwise),
// alpha included; files of failed or abandoned encodes are gone.
#include "Decode.h"
#include "raster/ImageFormats.h"
#include "support/Files.h"
#include "video/FrameConvert.h"
#include "video/VideoEncoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using video::TVideoCodec;

constexpr int kW = 64;
constexpr int kH = 48;

// Frame n: premultiplied BGRA with every alpha from 0 to 255 across the rows, colours that differ
// by column, row and frame, and an opaque band at the bottom.
TmemoryBitmap Frame(int n) {
  TmemoryBitmap b(kW, kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      std::uint8_t* p = b.Bits + (std::size_t(y) * kW + x) * 4;
      const int a = y >= kH - 8 ? 255 : (x * 4 + y * 16 + n * 3) & 255;
      const int r = (x * 5 + n * 20) & 255, g = (y * 7 + 30) & 255, bl = (x * 3 + y * 2 + n * 9) & 255;
      p[0] = std::uint8_t(bl * a / 255);
      p[1] = std::uint8_t(g * a / 255);
      p[2] = std::uint8_t(r * a / 255);
      p[3] = std::uint8_t(a);
    }
  }
  return b;
}

// What a file with straight alpha should decode to.
std::vector<std::uint8_t> Straight(const TmemoryBitmap& b) {
  std::vector<std::uint8_t> s(b.ByteSize());
  for (int y = 0; y < kH; ++y) image::UnpremultiplyRow(b.Bits + std::size_t(y) * kW * 4, s.data() + std::size_t(y) * kW * 4, kW);
  return s;
}

// What a file without alpha should decode to: the frame over black.
std::vector<std::uint8_t> OverBlack(const TmemoryBitmap& b) {
  std::vector<std::uint8_t> s(b.Bits, b.Bits + b.ByteSize());
  for (std::size_t i = 3; i < s.size(); i += 4) s[i] = 255;
  return s;
}

struct TCase {
  TVideoCodec codec;
  const char* file;
  const char* decoder;
  int colourTolerance;  // largest difference of a colour byte where the pixel is at least half opaque
  int meanTolerance;    // mean difference of those bytes, x 100
  int alphaTolerance;
  bool lumaOnly = false;
};

class Encoder : public ::testing::TestWithParam<TCase> {
 protected:
  TTestDir dir{"video-encoder"};
};

TEST_P(Encoder, DecodesToOurFrames) {
  const TCase& c = GetParam();
  const std::string file = (dir / c.file).string();
  video::TVideoEncoder enc;
  video::TVideoSettings s;
  s.FileName = file;
  s.Codec = c.codec;
  s.Width = kW;
  s.Height = kH;
  enc.Open(s);
  EXPECT_FALSE(fs::exists(file)) << "the file appears only once it is complete";
  for (int n = 0; n < 5; ++n) enc.WriteFrame(Frame(n));
  enc.Finish();
  ASSERT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(file + ".partial"));

  const TDecodedVideo v = DecodeVideo(file);
  EXPECT_EQ(v.codec, c.decoder);
  ASSERT_EQ(v.width, kW);
  ASSERT_EQ(v.height, kH);
  ASSERT_EQ(v.frames.size(), 5u);
  const bool alpha = video::CodecKeepsAlpha(c.codec);
  for (int n = 0; n < 5; ++n) {
    const TmemoryBitmap ours = Frame(n);
    const std::vector<std::uint8_t> want = alpha ? Straight(ours) : OverBlack(ours);
    const std::vector<std::uint8_t>& got = v.frames[std::size_t(n)];
    int worstColour = 0, worstAlpha = 0;
    long long sum = 0, count = 0;
    for (std::size_t i = 0; i < want.size(); i += 4) {
      worstAlpha = std::max(worstAlpha, std::abs(int(got[i + 3]) - int(want[i + 3])));
      if (alpha && want[i + 3] < 128) continue;  // straight colours of faint pixels are barely seen
      if (c.lumaOnly) {
        // 4:2:0 keeps one colour for four pixels: of single pixels only the brightness is kept.
        auto luma = [](const std::uint8_t* p) { return (p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8; };
        const int d = std::abs(luma(&got[i]) - luma(&want[i]));
        worstColour = std::max(worstColour, d);
        sum += d;
        ++count;
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        const int d = std::abs(int(got[i + std::size_t(k)]) - int(want[i + std::size_t(k)]));
        worstColour = std::max(worstColour, d);
        sum += d;
        ++count;
      }
    }
    EXPECT_LE(worstColour, c.colourTolerance) << "frame " << n;
    EXPECT_LE(sum * 100 / count, c.meanTolerance) << "frame " << n;
    EXPECT_LE(worstAlpha, c.alphaTolerance) << "frame " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, Encoder,
    ::testing::Values(TCase{TVideoCodec::vcQtrle, "a.mov", "qtrle", 0, 0, 0},
                      TCase{TVideoCodec::vcFfv1, "a.mkv", "ffv1", 0, 0, 0},
                      TCase{TVideoCodec::vcProRes4444, "a.mov", "prores", 2, 20, 1},
                      TCase{TVideoCodec::vcH264, "a.mp4", "h264", 40, 300, 0, true}),
    [](const auto& info) { return std::string(video::CodecName(info.param.codec)); });

TEST(EncoderFiles, AbandonedAndFailedEncodesLeaveNoFile) {
  TTestDir dir("video-encoder");
  video::TVideoSettings s;
  s.Codec = TVideoCodec::vcFfv1;
  s.Width = kW;
  s.Height = kH;

  s.FileName = (dir / "aborted.mkv").string();
  {
    video::TVideoEncoder enc;
    enc.Open(s);
    enc.WriteFrame(Frame(0));
    EXPECT_TRUE(fs::exists(s.FileName + ".partial"));
    enc.Abort();
  }
  s.FileName = (dir / "dropped.mkv").string();
  {
    video::TVideoEncoder enc;
    enc.Open(s);
    enc.WriteFrame(Frame(0));
  }  // never finished
  s.FileName = (dir / "wrong-size.mkv").string();
  {
    video::TVideoEncoder enc;
    enc.Open(s);
    const TmemoryBitmap small(kW / 2, kH);
    EXPECT_THROW(enc.WriteFrame(small), video::EVideoError);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path())) << "left behind: " << fs::directory_iterator(dir.Path())->path();

  // A folder that does not exist: one error naming the file.
  s.FileName = (dir / "no-such-folder" / "x.mkv").string();
  video::TVideoEncoder enc;
  try {
    enc.Open(s);
    ADD_FAILURE() << "opened a file in a missing folder";
  } catch (const video::EVideoError& e) {
    EXPECT_NE(std::string(e.what()).find(s.FileName), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
}

TEST(EncoderFiles, AnEncoderTheLibrariesLackIsNamed) {
  TTestDir dir("video-encoder");
  video::TVideoSettings s;
  s.FileName = (dir / "x.mov").string();
  s.Codec = TVideoCodec::vcQtrle;
  s.Width = kW;
  s.Height = kH;
  s.Encoder = "no_such_encoder";
  video::TVideoEncoder enc;
  try {
    enc.Open(s);
    ADD_FAILURE() << "opened an encoder that does not exist";
  } catch (const video::EVideoError& e) {
    EXPECT_NE(std::string(e.what()).find("no encoder for qtrle"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));
}

// Without the video plug-in a video cannot be opened: one error naming the plug-in, no file.
// Choosing the search again finds it.
TEST(EncoderFiles, WithoutThePluginNothingIsWritten) {
  TTestDir dir("video-encoder");
  video::TVideoSettings s;
  s.FileName = (dir / "x.mkv").string();
  s.Codec = TVideoCodec::vcFfv1;
  s.Width = kW;
  s.Height = kH;
  video::UseVideoPlugin((dir / "no-such-plugin.so").string());
  video::TVideoEncoder enc;
  try {
    enc.Open(s);
    ADD_FAILURE() << "opened a video without the plug-in";
  } catch (const video::EVideoError& e) {
    EXPECT_NE(std::string(e.what()).find("qv_video_plugin.so"), std::string::npos) << e.what();
  }
  EXPECT_THROW(video::TYuvPlanes(kW, kH, nullptr), video::EVideoError);
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  video::UseVideoPlugin("");
  enc.Open(s);
  enc.WriteFrame(Frame(0));
  enc.Finish();
  EXPECT_EQ(DecodeVideo(s.FileName).frames.size(), 1u);
}

// Pages above standard definition are coded with BT.709 and say so; the colours come back.
TEST(EncoderFiles, LargePagesUseBt709) {
  TTestDir dir("video-encoder");
  for (const auto& [w, h, space] : {std::tuple{768, 576, "smpte170m"}, std::tuple{1280, 720, "bt709"}}) {
    TmemoryBitmap frame(w, h);
    for (int i = 0; i < w * h; ++i) {
      std::uint8_t* p = frame.Bits + std::size_t(i) * 4;
      p[0] = 40, p[1] = 180, p[2] = 220, p[3] = 255;  // a saturated orange: the matrices differ most there
    }
    video::TVideoSettings s;
    s.FileName = (dir / (std::to_string(w) + ".mov")).string();
    s.Codec = TVideoCodec::vcProRes4444;
    s.Width = w;
    s.Height = h;
    video::TVideoEncoder enc;
    enc.Open(s);
    enc.WriteFrame(frame);
    enc.Finish();
    const TDecodedVideo v = DecodeVideo(s.FileName);
    EXPECT_EQ(v.colourSpace, space);
    ASSERT_EQ(v.frames.size(), 1u);
    const std::uint8_t* p = v.frames[0].data() + (std::size_t(h / 2) * w + w / 2) * 4;
    EXPECT_NEAR(p[0], 40, 2) << w;
    EXPECT_NEAR(p[1], 180, 2) << w;
    EXPECT_NEAR(p[2], 220, 2) << w;
  }
}

TEST(EncoderNames, CodecsAndMatrices) {
  for (TVideoCodec c : {TVideoCodec::vcProRes4444, TVideoCodec::vcQtrle, TVideoCodec::vcFfv1, TVideoCodec::vcH264})
    EXPECT_EQ(video::CodecFromName(video::CodecName(c)), c);
  EXPECT_FALSE(video::CodecFromName("prores"));
  EXPECT_EQ(video::ColourMatrixFor(768, 576), video::TColourMatrix::cmBt601);
  EXPECT_EQ(video::ColourMatrixFor(720, 486), video::TColourMatrix::cmBt601);
  EXPECT_EQ(video::ColourMatrixFor(1280, 720), video::TColourMatrix::cmBt709);
  EXPECT_EQ(video::ColourMatrixFor(768, 578), video::TColourMatrix::cmBt709);
}

}  // namespace
}  // namespace qv::test
