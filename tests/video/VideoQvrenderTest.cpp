// qvrender video and play as a user runs them: what ffprobe says of the files, the crawl's fields
// in the right order, frames equal to qvrender's own images, the data file reaching the page, and
// one clear error with exit status 1 and no partial file for each way output can fail.
#include "Decode.h"
#include "support/Files.h"
#include "support/Qvrender.h"
#include "support/ScratchMount.h"
#include "support/Tga.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

constexpr int kW = 768;
constexpr int kH = 576;
constexpr std::size_t kFrameBytes = std::size_t(kW) * kH * 4;

// "s2.tga" of ("s", 2, ".tga").
std::string Numbered(const char* stem, int n, const char* extension) {
  std::string s = stem;
  s += std::to_string(n);
  s += extension;
  return s;
}

// "key=value" lines of ffprobe for the first video stream.
std::string Probe(const std::string& file) {
  const TRunResult r = RunProgram("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                                       "stream=codec_name,profile,pix_fmt,r_frame_rate,field_order,color_space",
                                                       "-of", "default=noprint_wrappers=1", file});
  EXPECT_EQ(r.code, 0) << r.err;
  return r.out;
}

class VideoCommand : public ::testing::Test {
 protected:
  std::string P(const std::string& name) const { return (dir / name).string(); }

  // A picture that moves right two pixels a frame: progressive.
  std::string StillProject() {
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 40;
    tga[14] = 30;
    tga[16] = 32;
    tga[17] = 8 | 0x20;  // 8 alpha bits, rows top first
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 40; ++x) {
        const int a = x < 20 ? 255 : 128;
        tga += char(x * 6 * a / 255);
        tga += char(y * 8 * a / 255);
        tga += char(200 * a / 255);
        tga += char(a);
      }
    }
    dir.Write("pic.tga", tga);
    return dir.Write("still.QV", Lines({"\tObject '':TImageLayer", "\t\tFileName = " + P("pic.tga"), "\t\tX = 100",
                                        "\t\tAnim0 Constant 0 100.0000 50 200.0000 ", "\t\tY = 60", "\t\tWidth = 40",
                                        "\t\tHeight = 30", "\tEnd"}));
  }
  // A crawl at 10 pixels a field: interlaced, top field first.
  std::string CrawlProject() {
    dir.Write("lines.txt", "BREAKING NEWS: storm over the coast\r\nMarkets close higher\r\n");
    return dir.Write("crawl.QV", "Object '':TRollLayer\r\nTextFile = " + P("lines.txt") +
                                     "\r\nSpeed = 10\r\nY = 400\r\nEnd\r\n");
  }
  // A text layer that shows Meta1.
  std::string MetaProject() {
    return dir.Write("meta.QV", Lines({"\tObject '':TTextLayer", "\t\tTextSource = 1", "\t\tX = 50", "\t\tY = 50",
                                       "\tEnd"}));
  }

  TTestDir dir{"video-cmd"};
};

// FFmpeg's libraries, Qt Gui and the HTTP server come through plug-ins, loaded only by the
// commands that need them: what the dynamic loader reports opening (LD_DEBUG=files) for each
// command.
TEST_F(VideoCommand, OnlyCommandsThatNeedThemLoadFfmpegAndQt) {
  const std::string still = StillProject();
  const std::string text = MetaProject();
  const std::string lines = dir.Write("items.txt", "one\r\ntwo\r\n");
  const std::string csv = dir.Write("rows.csv", "name\na\n");
  struct TCase {
    std::vector<std::string> args;
    bool ffmpeg, qt;
  };
  const TCase cases[] = {
      {{"--help"}, false, false},
      {{"render", still, "-o", P("r.png")}, false, false},
      {{"sequence", still, "-o", P("s%d.png"), "--from", "0", "--to", "1", "--quiet"}, false, false},
      {{"info", still}, false, false},
      {{"resave", still, P("copy.QV")}, false, false},
      {{"items", lines}, false, false},
      {{"batch", still, csv, "-o", P("b/{name}.png")}, false, false},
      {{"render", text, "-o", P("t.png")}, false, true},
      {{"video", still, "-o", P("v.mkv"), "--codec", "ffv1", "--from", "0", "--to", "1", "--quiet"}, true, false},
      {{"play", still, "--y4m", "-", "--frames", "1"}, true, false},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> args = {"LD_DEBUG=files", QVRENDER_BIN};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TRunResult r = RunProgram("/usr/bin/env", args);
    const std::string what = ::testing::PrintToString(c.args);
    EXPECT_EQ(r.code, 0) << what << "\n" << r.err.substr(r.err.size() > 2000 ? r.err.size() - 2000 : 0);
    ASSERT_NE(r.err.find("file=libc.so"), std::string::npos) << "the loader said nothing: " << what;
    EXPECT_EQ(r.err.find("file=libavcodec.so") != std::string::npos, c.ffmpeg) << what;
    EXPECT_EQ(r.err.find("file=libswscale.so") != std::string::npos, c.ffmpeg) << what;
    EXPECT_EQ(r.err.find("file=libQt6Gui.so") != std::string::npos, c.qt) << what;
    EXPECT_EQ(r.err.find("file=libQt6Core.so") != std::string::npos, c.qt) << what;
    // The HTTP server (and OpenSSL behind it, which FFmpeg's network code also brings) is serve's
    // plug-in alone.
    EXPECT_EQ(r.err.find("file=libcpp-httplib.so"), std::string::npos) << what;
    if (!c.ffmpeg) {
      EXPECT_EQ(r.err.find("file=libcrypto.so"), std::string::npos) << what;
    }
  }
}

TEST_F(VideoCommand, FilesSayCodecFormatRateAndFieldOrder) {
  struct TCase {
    const char* codec;
    const char* file;
    std::vector<std::string> facts;
  };
  const std::vector<TCase> cases = {
      {"prores4444", "a.mov", {"codec_name=prores", "profile=4444", "r_frame_rate=25/1", "color_space=smpte170m"}},
      {"qtrle", "a.mov", {"codec_name=qtrle", "pix_fmt=argb", "r_frame_rate=25/1"}},
      {"ffv1", "a.mkv", {"codec_name=ffv1", "pix_fmt=bgra", "r_frame_rate=25/1"}},
      {"h264", "a.mp4", {"codec_name=h264", "pix_fmt=yuv420p", "r_frame_rate=25/1", "color_space=smpte170m"}},
  };
  const std::string still = StillProject();
  const std::string crawl = CrawlProject();
  for (const TCase& c : cases) {
    for (const auto& [project, order] : {std::pair{still, "field_order=progressive"}, std::pair{crawl, "field_order=tt"}}) {
      const std::string out = P(std::string(c.codec) + "-" + c.file);
      const TRunResult r = RunQvrender({"video", project, "-o", out, "--from", "0", "--to", "2", "--codec", c.codec});
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(r.err, "") << "no progress line and no chatter off a terminal";
      const std::string facts = Probe(out);
      for (const std::string& f : c.facts) EXPECT_NE(facts.find(f + "\n"), std::string::npos) << c.codec << ": " << facts;
      EXPECT_NE(facts.find(std::string(order) + "\n"), std::string::npos) << c.codec << ": " << facts;
      const TDecodedVideo v = DecodeVideo(out);
      EXPECT_EQ(v.frames.size(), 3u) << c.codec;
      // The codecs that code fields say in each frame which comes first, and it must agree.
      const std::string name = c.codec;
      if (name == "prores4444" || name == "h264") {
        const bool interlaced = project == crawl;
        EXPECT_EQ(v.interlaced, interlaced) << c.codec;
        if (interlaced) {
          EXPECT_TRUE(v.topFieldFirst) << c.codec;
        }
      }
      fs::remove(out);
    }
  }
}

// The first field in time is the even rows: decoded frames match our own images row for row, and
// the crawl stands at a different place in the two fields, so a swap would show.
TEST_F(VideoCommand, CrawlFieldsComeOutTopFirst) {
  const std::string crawl = CrawlProject();
  ASSERT_EQ(RunQvrender({"sequence", crawl, "-o", P("f%d.png"), "--from", "0", "--to", "2"}).code, 0);
  for (const char* codec : {"ffv1", "prores4444"}) {
    const std::string out = P(std::string("c-") + codec + (std::string(codec) == "ffv1" ? ".mkv" : ".mov"));
    const TRunResult r = RunQvrender({"video", crawl, "-o", out, "--from", "0", "--to", "2", "--codec", codec});
    ASSERT_EQ(r.code, 0) << r.err;
    const TDecodedVideo v = DecodeVideo(out);
    ASSERT_EQ(v.frames.size(), 3u);
    const int tolerance = std::string(codec) == "ffv1" ? 0 : 4;
    for (int n = 0; n < 3; ++n) {
      const TDecodedVideo png = DecodeVideo(P(Numbered("f", n, ".png")));  // straight BGRA
      ASSERT_EQ(png.frames.size(), 1u);
      const auto& ours = png.frames[0];
      const auto& got = v.frames[std::size_t(n)];
      // Rows 400.. hold the crawl; compare the opaque pixels' colours and every alpha.
      long long sameRow = 0, swappedRow = 0;
      int worst = 0;
      for (int y = 400; y < 460; ++y) {
        const int other = y ^ 1;
        for (int x = 0; x < kW; ++x) {
          const std::size_t i = (std::size_t(y) * kW + x) * 4;
          const std::size_t j = (std::size_t(other) * kW + x) * 4;
          for (int k = 0; k < 4; ++k) {
            if (k < 3 && ours[i + 3] < 128) continue;
            const int d = std::abs(int(got[i + std::size_t(k)]) - int(ours[i + std::size_t(k)]));
            worst = std::max(worst, d);
            sameRow += d;
            swappedRow += std::abs(int(got[i + std::size_t(k)]) - int(ours[j + std::size_t(k)]));
          }
        }
      }
      EXPECT_LE(worst, tolerance) << codec << " frame " << n;
      EXPECT_GT(swappedRow, sameRow * 4 + 1000) << codec << " frame " << n << ": the fields look alike";
    }
  }
}

TEST_F(VideoCommand, H264LiesOverItsBackground) {
  const std::string still = StillProject();
  // A grey background picture, 8 x 8 (stretched to the page).
  std::string tga(18, '\0');
  tga[2] = 2;
  tga[12] = 8;
  tga[14] = 8;
  tga[16] = 32;
  tga[17] = 8 | 0x20;
  for (int i = 0; i < 64; ++i) tga += std::string{char(100), char(100), char(100), char(255)};
  dir.Write("bg.tga", tga);
  const TRunResult r = RunQvrender({"video", still, "-o", P("b.mp4"), "--from", "0", "--to", "0", "--codec", "h264",
                                    "--background", P("bg.tga")});
  ASSERT_EQ(r.code, 0) << r.err;
  const TDecodedVideo v = DecodeVideo(P("b.mp4"));
  ASSERT_EQ(v.frames.size(), 1u);
  const auto px = [&](int x, int y) { return &v.frames[0][(std::size_t(y) * kW + x) * 4]; };
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(px(400, 300)[k], 100, 3);  // the background alone
  EXPECT_NEAR(px(105, 65)[2], 200, 6);  // the picture's opaque half (red 200) over it
  // --background belongs to h264 only, and a missing picture is one error.
  EXPECT_EQ(RunQvrender({"video", still, "-o", P("x.mov"), "--from", "0", "--to", "0", "--background", P("bg.tga")}).code, 2);
  const TRunResult missing = RunQvrender({"video", still, "-o", P("m.mp4"), "--from", "0", "--to", "0", "--codec",
                                          "h264", "--background", P("nothing.png")});
  EXPECT_EQ(missing.code, 1);
  EXPECT_FALSE(fs::exists(P("m.mp4")));
}

TEST_F(VideoCommand, OutputThatCannotBeWrittenLeavesNothing) {
  const std::string still = StillProject();
  const TRunResult r = RunQvrender({"video", still, "-o", P("missing/x.mov"), "--from", "0", "--to", "2"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(P("missing/x.mov")), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;

  TScratchMount disk(1024 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Error();
  const std::string crawl = CrawlProject();
  const std::string out = (disk.Path() / "full.mov").string();
  const TRunResult full = RunQvrender({"video", crawl, "-o", out, "--from", "0", "--to", "49", "--codec", "prores4444"});
  EXPECT_EQ(full.code, 1);
  EXPECT_NE(full.err.find(out), std::string::npos) << full.err;
  EXPECT_EQ(std::count(full.err.begin(), full.err.end(), '\n'), 1) << full.err;
  EXPECT_TRUE(fs::is_empty(disk.Path())) << "left behind: " << fs::directory_iterator(disk.Path())->path();

  TScratchMount readOnly(64 * 1024);
  ASSERT_TRUE(readOnly.Mounted()) << readOnly.Error();
  ASSERT_TRUE(readOnly.MakeReadOnly()) << readOnly.Error();
  const std::string locked = (readOnly.Path() / "x.mkv").string();
  const TRunResult ro = RunQvrender({"video", still, "-o", locked, "--from", "0", "--to", "2", "--codec", "ffv1"});
  EXPECT_EQ(ro.code, 1);
  EXPECT_NE(ro.err.find(locked), std::string::npos) << ro.err;
  EXPECT_EQ(std::count(ro.err.begin(), ro.err.end(), '\n'), 1) << ro.err;
}

// A consumer that reads a frame every 120 ms: play drops frames to keep time and says so.
TEST_F(VideoCommand, PlayDropsFramesForASlowConsumer) {
  const std::string still = StillProject();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::fcntl(fds[0], F_SETPIPE_SZ, 4096);  // no room to run ahead in the pipe
  const std::string errFile = P("err.txt");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, STDERR_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execl(QVRENDER_BIN, QVRENDER_BIN, "play", still.c_str(), "--raw", "-", "--frames", "25",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::vector<char> buf(kFrameBytes);
  std::size_t frames = 0;
  for (;;) {
    std::size_t got = 0;
    while (got < kFrameBytes) {
      const ssize_t n = ::read(fds[0], buf.data() + got, kFrameBytes - got);
      if (n <= 0) break;
      got += std::size_t(n);
    }
    if (got < kFrameBytes) break;
    ++frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // One second of slots, about a third of them sent.
  EXPECT_LT(frames, 15u);
  EXPECT_GE(frames, 3u);
  const std::string err = ReadBytes(errFile);
  EXPECT_NE(err.find("frames per second"), std::string::npos) << err;
  EXPECT_NE(err.find("dropped"), std::string::npos) << err;
}

TEST_F(VideoCommand, PlayWritesThePagesFrames) {
  const std::string still = StillProject();
  ASSERT_EQ(RunQvrender({"sequence", still, "-o", P("s%d.tga"), "--from", "0", "--to", "2"}).code, 0);
  const TRunResult raw = RunQvrender({"play", still, "--raw", "-", "--frames", "3"});
  ASSERT_EQ(raw.code, 0) << raw.err;
  ASSERT_EQ(raw.out.size(), 3 * kFrameBytes);
  for (int n = 0; n < 3; ++n) {
    const TTgaImage tga = ReadTga(P(Numbered("s", n, ".tga")));
    ASSERT_EQ(tga.pixels.size(), kFrameBytes);
    EXPECT_TRUE(raw.out.compare(std::size_t(n) * kFrameBytes, kFrameBytes, tga.pixels) == 0) << "frame " << n;
  }

  const TRunResult y4m = RunQvrender({"play", CrawlProject(), "--y4m", "-", "--frames", "2"});
  ASSERT_EQ(y4m.code, 0) << y4m.err;
  const std::string header = "YUV4MPEG2 W768 H576 F25:1 It A1:1 C444 XYSCSS=444\n";
  EXPECT_EQ(y4m.out.substr(0, header.size()), header);
  EXPECT_EQ(y4m.out.size(), header.size() + 2 * (6 + std::size_t(kW) * kH * 3));

  // The still page as YUV4MPEG: its frames over black, in the page's colours.
  const TRunResult still4 = RunQvrender({"play", still, "--y4m", "-", "--frames", "3"});
  ASSERT_EQ(still4.code, 0) << still4.err;
  EXPECT_NE(still4.out.find(" Ip "), std::string::npos);
  const TDecodedVideo v = DecodeVideo(dir.Write("s.y4m", still4.out));
  ASSERT_EQ(v.frames.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    const TTgaImage tga = ReadTga(P(Numbered("s", n, ".tga")));
    int worst = 0;
    for (std::size_t i = 0; i < kFrameBytes; i += 4) {
      for (std::size_t k = 0; k < 3; ++k)
        worst = std::max(worst, std::abs(int(std::uint8_t(tga.pixels[i + k])) - int(v.frames[std::size_t(n)][i + k])));
    }
    EXPECT_LE(worst, 2) << "frame " << n;
  }
}

TEST_F(VideoCommand, PlayTakesTheDataFilesText) {
  const std::string page = MetaProject();
  ASSERT_EQ(RunQvrender({"render", page, "-o", P("want.tga"), "--meta1", "Storm warning"}).code, 0);
  ASSERT_EQ(RunQvrender({"render", page, "-o", P("other.tga"), "--meta1", "Calm"}).code, 0);
  const TTgaImage want = ReadTga(P("want.tga"));
  ASSERT_NE(want.pixels, ReadTga(P("other.tga")).pixels) << "the text must show";
  dir.Write("data.json", R"({"Meta1": "Storm warning"})");
  const TRunResult r = RunQvrender({"play", page, "--raw", "-", "--frames", "1", "--meta1", "Calm", "--data", P("data.json")});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(r.out.size(), kFrameBytes);
  EXPECT_TRUE(r.out == want.pixels);
}

// The data file's <layerName>.<property> members set the layers as batch columns do: the frame
// equals batch's page of the same values; a name the page does not have is reported, once.
TEST_F(VideoCommand, PlayTakesTheDataFilesLayerProperties) {
  const std::string still = StillProject();
  const std::string page = dir.Write("named.QV", Lines({"\tObject '':TTextLayer", "\t\tText = Calm", "\t\tlayerName = head",
                                                       "\t\tX = 50", "\t\tY = 50", "\tEnd"}) +
                                                     ReadBytes(still));
  dir.Write("rows.csv", "head.Text,head.X\r\nStorm warning,60\r\n");
  const TRunResult batch = RunQvrender({"batch", page, P("rows.csv"), "-o", P("want.tga")});
  ASSERT_EQ(batch.code, 0) << batch.err;
  const TTgaImage want = ReadTga(P("want.tga"));
  ASSERT_EQ(want.pixels.size(), kFrameBytes);
  dir.Write("data.json", R"({"head.Text": "Storm warning", "head.X": 60, "tail.Text": "nobody"})");
  const TRunResult r = RunQvrender({"play", page, "--raw", "-", "--frames", "2", "--data", P("data.json")});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(r.out.size(), 2 * kFrameBytes);
  EXPECT_TRUE(r.out.compare(0, kFrameBytes, want.pixels) == 0) << "the values set from the first frame";
  EXPECT_NE(r.err.find("\"tail.Text\""), std::string::npos) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

// A consumer that goes away: qvrender says so once and ends with status 1, at once.
TEST_F(VideoCommand, PlayEndsWhenTheConsumerClosesThePipe) {
  const std::string still = StillProject();
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string errFile = P("err.txt");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, STDERR_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    ::execl(QVRENDER_BIN, QVRENDER_BIN, "play", still.c_str(), "--raw", "-", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::vector<char> buf(kFrameBytes);
  std::size_t got = 0;
  while (got < kFrameBytes) {
    const ssize_t n = ::read(fds[0], buf.data() + got, kFrameBytes - got);
    if (n <= 0) break;
    got += std::size_t(n);
  }
  EXPECT_EQ(got, kFrameBytes);
  ::close(fds[0]);
  int status = 0;
  pid_t done = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (done == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "qvrender went on after its consumer left";
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal: " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string err = ReadBytes(errFile);
  EXPECT_NE(err.find("standard output: the consumer closed the pipe"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

// Ctrl+C in the middle of a clip: one message, status 1, no file.
TEST_F(VideoCommand, AnInterruptedClipLeavesNoFile) {
  const std::string crawl = CrawlProject();
  const std::string out = P("i.mov");
  const std::string errFile = P("err.txt");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, STDERR_FILENO);
    ::execl(QVRENDER_BIN, QVRENDER_BIN, "video", crawl.c_str(), "-o", out.c_str(), "--from", "0", "--to", "100000",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(out + ".partial") && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(out + ".partial"));
  ::kill(pid, SIGINT);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (done == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "qvrender went on after Ctrl+C";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_FALSE(fs::exists(out + ".partial"));
  const std::string err = ReadBytes(errFile);
  EXPECT_NE(err.find("interrupted"), std::string::npos) << err;
}

// What qvrender prints when its standard error is a terminal (a pseudo-terminal here).
std::string RunOnTerminal(const std::vector<std::string>& args) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return "forkpty failed";
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(QVRENDER_BIN)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(QVRENDER_BIN, argv.data());
    ::_exit(127);
  }
  std::string out;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the program has gone
    out.append(buf, std::size_t(n));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  return out;
}

TEST_F(VideoCommand, ATerminalSeesTheProgressLine) {
  const std::string still = StillProject();
  const std::string shown = RunOnTerminal({"sequence", still, "--no-output", "--from", "0", "--to", "29"});
  EXPECT_NE(shown.find("frame 30/30  100%"), std::string::npos) << shown;
  EXPECT_NE(shown.find(" fps "), std::string::npos) << shown;
  EXPECT_NE(shown.find("0:00 left"), std::string::npos) << shown;
  const std::string video = RunOnTerminal({"video", still, "-o", P("t.mkv"), "--codec", "ffv1", "--from", "0", "--to", "4"});
  EXPECT_NE(video.find("frame 5/5  100%"), std::string::npos) << video;
  EXPECT_EQ(RunOnTerminal({"sequence", still, "--no-output", "--from", "0", "--to", "29", "--quiet"}), "");
}

}  // namespace
}  // namespace qv::test
