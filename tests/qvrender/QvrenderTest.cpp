// Runs the built qvrender on small projects made here and checks its exit codes, messages,
// images and listings.
#include "support/Files.h"
#include "support/ImageFiles.h"
#include "support/Qvrender.h"
#include "support/ScratchMount.h"
#include "support/Tga.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

int CountLines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

class Qvrender : public ::testing::Test {
 protected:
  using Result = TRunResult;

  Result Run(const std::vector<std::string>& args) { return RunQvrender(args); }
  std::string Write(const std::string& name, const std::string& text) { return dir.Write(name, text); }
  std::string P(const std::string& name) const { return (dir / name).string(); }

  // Two image layers: a 7 x 5 pattern with mixed alpha at (10, 20) and the same at half opacity
  // at (100, 50); the first moves right with a track (0 at frame 0, 400 at frame 50).
  std::string PatternProject() {
    img = TRgbaImage::Pattern(7, 5, 40, 255);
    img.Set(0, 0, 200, 100, 50, 128);
    img.Set(1, 0, 255, 255, 255, 0);
    img.Set(2, 0, 10, 20, 30, 1);
    WriteImage(dir / "p.png", img);
    return Write("p.QV", Lines({"\tObject '':TQVSystem", "\t\tDuration = 10.00000000", "\tEnd",
                                "\tObject '':TImageLayer", "\t\tFileName = " + P("p.png"), "\t\tlayerName = first",
                                "\t\tX = 10", "\t\tAnim0 Constant 0 10.0000 50 410.0000 ", "\t\tY = 20",
                                "\t\tWidth = 7", "\t\tHeight = 5", "\tEnd", "\tObject '':TImageLayer",
                                "\t\tFileName = " + P("p.png"), "\t\tlayerName = second", "\t\tOpacity = 128",
                                "\t\tX = 100", "\t\tY = 50", "\t\tWidth = 7", "\t\tHeight = 5", "\tEnd"}));
  }
  // The premultiplied BGRA of the pattern's pixel, at a destination factor.
  std::array<std::uint8_t, 4> Expected(int x, int y, int factor = 255) const {
    const std::uint8_t* p = &img.rgba[(std::size_t(y) * img.w + x) * 4];
    auto pre = [&](std::uint8_t c) { return int(std::lround(c * p[3] / 255.0)); };
    std::array<int, 4> v{pre(p[2]), pre(p[1]), pre(p[0]), p[3]};
    std::array<std::uint8_t, 4> r{};
    for (int i = 0; i < 4; ++i) r[std::size_t(i)] = std::uint8_t(factor == 255 ? v[std::size_t(i)] : (v[std::size_t(i)] * factor) >> 8);
    return r;
  }

  TTestDir dir{"qvrender"};
  TRgbaImage img;
};

TEST_F(Qvrender, BadArgumentsShowTheUsage) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"paint", "x.QV"}, {"render", "x.QV"}, {"render", "x.QV", "-o", "x.bmp"}, {"info", "x.QV", "--frame", "q"}}) {
    const Result r = Run(args);
    EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
  }
  const Result help = Run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("qvrender render"), std::string::npos);
}

TEST_F(Qvrender, ErrorsNameTheFile) {
  const Result missing = Run({"render", P("missing.QV"), "-o", P("o.png")});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(CountLines(missing.err), 1) << missing.err;
  EXPECT_NE(missing.err.find(P("missing.QV")), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(P("o.png")));

  const std::string damaged =
      Write("bad.QV", Lines({"Object '':TImageLayer", "X = 1", "Anim0 Constant 0 1.0 x 2.0 ", "End"}));
  for (const auto& cmd : {"render", "info", "resave"}) {
    std::vector<std::string> args{cmd, damaged};
    if (std::string(cmd) == "render") args.insert(args.end(), {"-o", P("o.png")});
    if (std::string(cmd) == "resave") args.push_back(P("o.QV"));
    const Result r = Run(args);
    EXPECT_EQ(r.code, 1) << cmd;
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(damaged), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 3"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(P("o.QV")));

  const std::string project = PatternProject();
  for (const std::string& out : {P("no/such/folder/o.tga"), P("no/such/folder/o.png")}) {
    const Result r = Run({"render", project, "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(out), std::string::npos) << r.err;
  }
  const Result resave = Run({"resave", project, P("no/such/x.QV")});
  EXPECT_EQ(resave.code, 1);
  EXPECT_NE(resave.err.find(P("no/such/x.QV")), std::string::npos) << resave.err;
}

TEST_F(Qvrender, TgaIsTheWorkImageExactly) {
  const std::string project = PatternProject();
  const Result r = Run({"render", project, "-o", P("f0.tga")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const TTgaImage t = ReadTga(P("f0.tga"));
  ASSERT_EQ(t.w, 768);
  ASSERT_EQ(t.h, 576);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      EXPECT_EQ(t.At(10 + x, 20 + y), Expected(x, y)) << x << "," << y;
      EXPECT_EQ(t.At(100 + x, 50 + y), Expected(x, y, 128)) << x << "," << y;
    }
  }
  EXPECT_EQ(t.At(9, 20), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));  // transparent black around
  EXPECT_EQ(t.At(767, 575), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));

  // Frame 25: the track has moved the first layer to x = 210.
  ASSERT_EQ(Run({"render", project, "-o", P("f25.tga"), "--frame", "25"}).code, 0);
  const TTgaImage t25 = ReadTga(P("f25.tga"));
  EXPECT_EQ(t25.At(210 + 3, 20 + 2), Expected(3, 2));
  EXPECT_EQ(t25.At(10 + 3, 20 + 2), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(Qvrender, PngHasStraightAlpha) {
  const std::string project = PatternProject();
  ASSERT_EQ(Run({"render", project, "-o", P("f.png")}).code, 0);
  const TRgbaImage png = ReadImage(P("f.png"));
  ASSERT_EQ(png.w, 768);
  ASSERT_EQ(png.h, 576);
  auto px = [&](int x, int y) {
    const std::uint8_t* p = &png.rgba[(std::size_t(y) * png.w + x) * 4];
    return std::array<int, 4>{p[0], p[1], p[2], p[3]};
  };
  auto orig = [&](int x, int y) {
    const std::uint8_t* p = &img.rgba[(std::size_t(y) * img.w + x) * 4];
    return std::array<int, 4>{p[0], p[1], p[2], p[3]};
  };
  EXPECT_EQ(px(10 + 4, 20 + 3), orig(4, 3));  // opaque: the file's colours
  const auto half = px(10, 20);                // alpha 128: colours back within rounding
  EXPECT_EQ(half[3], 128);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(half[std::size_t(c)], orig(0, 0)[std::size_t(c)], 1) << c;
  EXPECT_EQ(px(11, 20), (std::array<int, 4>{0, 0, 0, 0}));  // fully transparent
  EXPECT_EQ(px(0, 0), (std::array<int, 4>{0, 0, 0, 0}));
}

TEST_F(Qvrender, CheckerboardBehindTheLayers) {
  const std::string project = PatternProject();
  ASSERT_EQ(Run({"render", project, "-o", P("c.tga"), "--checkerboard"}).code, 0);
  const TTgaImage t = ReadTga(P("c.tga"));
  EXPECT_EQ(t.At(0, 0), (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
  EXPECT_EQ(t.At(8, 0), (std::array<std::uint8_t, 4>{0xCC, 0xCC, 0xCC, 255}));
  EXPECT_EQ(t.At(8, 8), (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
  EXPECT_EQ(t.At(767, 575), (std::array<std::uint8_t, 4>{255, 255, 255, 255}));  // (95, 71): both odd
  EXPECT_EQ(t.At(10 + 4, 20 + 3), Expected(4, 3));                              // opaque layer pixel on top
}

TEST_F(Qvrender, SequenceIsOneRenderPerFrame) {
  const std::string project = PatternProject();
  const Result r = Run({"sequence", project, "-o", P("s_%05d.tga"), "--from", "3", "--to", "5", "--time",
                        "12:00:00.000", "--meta1", "x"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(fs::exists(P("s_00002.tga")));
  EXPECT_FALSE(fs::exists(P("s_00006.tga")));
  for (int f = 3; f <= 5; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "s_%05d.tga", f);
    ASSERT_TRUE(fs::exists(P(name))) << name;
    ASSERT_EQ(Run({"render", project, "-o", P("one.tga"), "--frame", std::to_string(f)}).code, 0);
    EXPECT_EQ(ReadBytes(P(name)), ReadBytes(P("one.tga"))) << name;
  }
  EXPECT_NE(ReadBytes(P("s_00003.tga")), ReadBytes(P("s_00005.tga")));
}

TEST_F(Qvrender, ResaveIsByteExact) {
  fs::copy_file(fs::path(QV_PROJECT_DATA_DIR) / "example.QV", P("example.QV"));
  const Result r = Run({"resave", P("example.QV"), P("copy.QV")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadBytes(P("copy.QV")), ReadBytes(P("example.QV")));
  // A hand-edited file comes back in the written form.
  const std::string loose = Write("loose.QV", "Object '':TQVSystem\nDuration = 10,5\nEnd\n");
  ASSERT_EQ(Run({"resave", loose, P("tidy.QV")}).code, 0);
  EXPECT_EQ(ReadBytes(P("tidy.QV")), Lines({"\tObject '':TQVSystem", "\t\tShowTime = 0", "\t\tTime = 0.00000000",
                                            "\t\tDurationType = 0", "\t\tDuration = 10.50000000", "\tEnd"}));
}

TEST_F(Qvrender, InfoListsTheLayersAsComposed) {
  const std::string project = PatternProject();
  const Result r = Run({"info", project, "--frame", "25"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "# page 768 x 576\n"
            "0\tTImageLayer\tfirst\t210\t20\t7\t5\t210\t20\t217\t25\n"
            "1\tTImageLayer\tsecond\t100\t50\t7\t5\t100\t50\t107\t55\n");
  const Result r0 = Run({"info", project});
  const std::size_t second = r0.out.find('\n') + 1;
  EXPECT_EQ(r0.out.substr(second, r0.out.find('\n', second) - second), "0\tTImageLayer\tfirst\t10\t20\t7\t5\t10\t20\t17\t25");
}

TEST_F(Qvrender, AnHDPageRendersAtItsOwnSize) {
  img = TRgbaImage::Pattern(7, 5, 40, 255);
  WriteImage(dir / "p.png", img);
  const std::string project =
      Write("hd.QV", Lines({"\tObject '':TQVSystem", "\t\tDuration = 10.00000000", "\t\tWidth = 1920",
                            "\t\tHeight = 1080", "\tEnd", "\tObject '':TImageLayer", "\t\tFileName = " + P("p.png"),
                            "\t\tX = 1900", "\t\tY = 1070", "\t\tWidth = 7", "\t\tHeight = 5", "\tEnd"}));
  const Result info = Run({"info", project});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(info.out.substr(0, info.out.find('\n')), "# page 1920 x 1080");

  ASSERT_EQ(Run({"render", project, "-o", P("hd.tga")}).code, 0);
  const TTgaImage t = ReadTga(P("hd.tga"));
  ASSERT_EQ(t.w, 1920);
  ASSERT_EQ(t.h, 1080);
  EXPECT_EQ(t.At(1903, 1072), Expected(3, 2));  // a layer beyond the standard page's edges

  // The checkerboard follows the page: the bottom-right square (239, 134) is grey, the one
  // before it white.
  ASSERT_EQ(Run({"render", project, "-o", P("grid.tga"), "--checkerboard"}).code, 0);
  const TTgaImage g = ReadTga(P("grid.tga"));
  ASSERT_EQ(g.w, 1920);
  EXPECT_EQ(g.At(1919, 1079), (std::array<std::uint8_t, 4>{204, 204, 204, 255}));
  EXPECT_EQ(g.At(1911, 1079), (std::array<std::uint8_t, 4>{255, 255, 255, 255}));

  // resave keeps the size lines byte for byte.
  ASSERT_EQ(Run({"resave", project, P("again.QV")}).code, 0);
  EXPECT_NE(ReadBytes(P("again.QV")).find("\t\tWidth = 1920\r\n\t\tHeight = 1080\r\n\tEnd"), std::string::npos);
}

// A page whose media cannot be loaded is still rendered, each medium warned of, and the run ends
// with exit status 3 — unless --allow-missing-media says that is fine. A page with all its media
// ends with 0 either way.
TEST_F(Qvrender, MissingMediaRenderButExitWithStatusThree) {
  const std::string missing =
      Write("m.QV", Lines({"Object '':TImageLayer", "FileName = D:\\gone\\logo.png", "Width = 5", "Height = 5", "End",
                           "Object '':TMultiImageLayer", "Directory = " + P("nothere"), "End"}));
  const std::string whole = PatternProject();
  Write("rows.csv", "name\r\nfirst\r\n");
  struct TCase {
    const char* Kind;
    std::vector<std::string> Args;  // the project goes after the command's name ("" for batch's data)
    std::string Output;             // what must be written
  };
  const TCase cases[] = {
      {"render", {"render", "", "-o", P("m.tga")}, P("m.tga")},
      {"sequence", {"sequence", "", "-o", P("s_%02d.tga"), "--from", "0", "--to", "1", "--quiet"}, P("s_01.tga")},
      {"video", {"video", "", "-o", P("v.mkv"), "--codec", "ffv1", "--from", "0", "--to", "1", "--quiet"}, P("v.mkv")},
      {"play", {"play", "", "--raw", P("p.raw"), "--frames", "2"}, P("p.raw")},
      {"batch", {"batch", "", P("rows.csv"), "-o", P("b/{name}.tga")}, P("b/first.tga")},
  };
  for (const TCase& c : cases) {
    for (const bool allow : {false, true}) {
      for (const bool lacking : {true, false}) {
        SCOPED_TRACE(std::string(c.Kind) + (allow ? " allowing" : "") + (lacking ? " lacking media" : " whole"));
        std::vector<std::string> args = c.Args;
        args[1] = lacking ? missing : whole;
        if (allow) args.push_back("--allow-missing-media");
        fs::remove(c.Output);
        const Result r = Run(args);
        EXPECT_EQ(r.code, lacking && !allow ? 3 : 0) << r.err;
        EXPECT_TRUE(fs::exists(c.Output));
        if (!lacking) {
          EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
          continue;
        }
        EXPECT_NE(r.err.find("warning: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("D:\\gone\\logo.png"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(P("nothere")), std::string::npos) << r.err;
        const bool said = r.err.find("exit status 3; --allow-missing-media") != std::string::npos;
        EXPECT_EQ(said, !allow) << r.err;
        if (c.Args[0] == "render") EXPECT_EQ(CountLines(r.err), allow ? 2 : 3) << r.err;
      }
    }
  }
  // Nothing written stays 1, a bad command line 2, whatever the media.
  EXPECT_EQ(Run({"render", missing, "-o", P("no/such/folder/m.tga")}).code, 1);
  EXPECT_EQ(Run({"render", missing, "-o", P("m.bmp")}).code, 2);
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

TEST_F(Qvrender, TheExampleProjectRendersCleanlyAndResavesUnchanged) {
  const std::string example = std::string(QV_EXAMPLES_DIR) + "/news/news.QV";
  const Result r = Run({"render", example, "-o", P("news.tga"), "--frame", "24"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");  // every picture was found
  const TTgaImage t = ReadTga(P("news.tga"));
  EXPECT_EQ(t.At(634, 100)[3], 255);  // the badge plate's white frame line
  EXPECT_EQ(t.At(700, 100)[3], 217);  // the plate itself, 85 % opaque
  const Result info = Run({"info", example});
  EXPECT_EQ(CountLines(info.out), 13);  // the page's size, then the layers
  ASSERT_EQ(Run({"resave", example, P("news.QV")}).code, 0);
  EXPECT_EQ(ReadBytes(P("news.QV")), ReadBytes(example));
}

// Frames (and a resaved project) written where the disk fails: status 1 with one message naming
// the file and the reason, and never a partial image (an older file of that name stays as it was).
TEST_F(Qvrender, FramesOntoAFullDiskFailWithoutPartialImages) {
  const std::string project = PatternProject();
  constexpr std::size_t kTgaBytes = 18 + 768 * 576 * 4;

  // /dev/full through a link with an image name.
  for (const char* name : {"full.png", "full.tga"}) {
    fs::create_symlink("/dev/full", P(name));
    const Result r = Run({"render", project, "-o", P(name)});
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(P(name)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  }
  fs::create_symlink("/dev/full", P("full.QV"));
  const Result resave = Run({"resave", project, P("full.QV")});
  EXPECT_EQ(resave.code, 1);
  EXPECT_EQ(CountLines(resave.err), 1) << resave.err;
  EXPECT_NE(resave.err.find("No space left on device"), std::string::npos) << resave.err;
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  TScratchMount disk(4 * 1024 * 1024);  // room for two TGA frames, not three
  if (!disk.Mounted()) GTEST_SKIP() << disk.Error();
  const fs::path out = disk.Path();

  // A sequence that fills the disk: the frames before stay complete, the third is not left cut.
  const Result seq = Run({"sequence", project, "-o", (out / "s_%05d.tga").string(), "--from", "0", "--to", "9"});
  EXPECT_EQ(seq.code, 1);
  EXPECT_EQ(CountLines(seq.err), 1) << seq.err;
  EXPECT_NE(seq.err.find((out / "s_00002.tga").string()), std::string::npos) << seq.err;
  EXPECT_NE(seq.err.find("No space left on device"), std::string::npos) << seq.err;
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(out)) left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"s_00000.tga", "s_00001.tga"}));
  for (const auto& name : left) {
    EXPECT_EQ(fs::file_size(out / name), kTgaBytes) << name;
    EXPECT_EQ(ReadTga(out / name).w, 768) << name;
  }

  // Rendering over an existing frame on the full disk keeps the old one.
  const Result over = Run({"render", project, "-o", (out / "s_00001.tga").string(), "--frame", "30"});
  EXPECT_EQ(over.code, 1);
  EXPECT_NE(over.err.find("No space left on device"), std::string::npos) << over.err;
  ASSERT_EQ(Run({"render", project, "-o", P("one.tga"), "--frame", "1"}).code, 0);
  EXPECT_EQ(ReadBytes(out / "s_00001.tga"), ReadBytes(P("one.tga")));

  // A read-only place.
  ASSERT_TRUE(disk.MakeReadOnly()) << disk.Error();
  for (const char* name : {"ro.png", "ro.tga"}) {
    const Result r = Run({"render", project, "-o", (out / name).string()});
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("Read-only file system"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out / name));
  }
}

TEST_F(Qvrender, SequenceWithoutOutputComposesAndWritesNothing) {
  const std::string project = PatternProject();
  const auto before = std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator());
  const Result r = Run({"sequence", project, "--no-output", "--from", "0", "--to", "60"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), before);
}

}  // namespace
}  // namespace qv::test
