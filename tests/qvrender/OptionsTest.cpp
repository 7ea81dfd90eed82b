#include "app/qvrender/Options.h"

#include <gtest/gtest.h>

namespace qv::render {
namespace {

std::optional<TOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
  std::string e;
  auto r = ParseOptions(args, e);
  if (error) *error = e;
  return r;
}

TEST(Options, Render) {
  auto o = Parse({"render", "p.QV", "-o", "out.PNG", "--frame", "-12", "--checkerboard", "--time",
                  "10:20:30.5", "--meta2", "Headline", "--next-meta4=Later"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->Command, TCommand::cmRender);
  EXPECT_EQ(o->Project, "p.QV");
  EXPECT_EQ(o->Output, "out.PNG");
  EXPECT_EQ(o->Format, TImageFormat::ifPng);
  EXPECT_EQ(o->Frame, -12);
  EXPECT_TRUE(o->Checkerboard);
  ASSERT_TRUE(o->Time);
  EXPECT_EQ(*o->Time, (TTimeOfDay{10, 20, 30, 500}));
  EXPECT_EQ(o->Meta[1], "Headline");
  EXPECT_FALSE(o->Meta[0]);
  EXPECT_EQ(o->NextMeta[3], "Later");
}

TEST(Options, DefaultsAndOtherCommands) {
  auto r = Parse({"render", "p.QV", "-o", "x.tga"});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Frame, 0);
  EXPECT_FALSE(r->Checkerboard);
  EXPECT_EQ(r->Format, TImageFormat::ifTga);

  auto s = Parse({"sequence", "p.QV", "-o", "f_%05d.png", "--from", "3", "--to", "7"});
  ASSERT_TRUE(s);
  EXPECT_EQ(s->From, 3);
  EXPECT_EQ(s->To, 7);
  EXPECT_FALSE(s->NoOutput);

  // A sequence composed without writing (the soak): no output name needed.
  auto n = Parse({"sequence", "p.QV", "--no-output", "--from", "0", "--to", "99999"});
  ASSERT_TRUE(n);
  EXPECT_TRUE(n->NoOutput);
  EXPECT_EQ(n->Output, "");
  EXPECT_EQ(n->To, 99999);

  auto v = Parse({"resave", "a.QV", "b.QV"});
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Project, "a.QV");
  EXPECT_EQ(v->Output, "b.QV");

  auto i = Parse({"info", "p.QV", "--frame", "30", "--meta1", "x"});
  ASSERT_TRUE(i);
  EXPECT_EQ(i->Frame, 30);

  auto items = Parse({"items", "news.rtf"});
  ASSERT_TRUE(items);
  EXPECT_EQ(items->Command, TCommand::cmItems);
  EXPECT_EQ(items->Project, "news.rtf");
}

TEST(Options, BadCommandLines) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"draw", "p.QV"},
      {"render", "p.QV"},                                  // no output
      {"render", "p.QV", "-o", "out.jpg"},                 // unsupported format
      {"render", "p.QV", "-o"},                            // missing value
      {"render", "p.QV", "-o", "o.png", "--frame", "x"},   // not a number
      {"render", "p.QV", "-o", "o.png", "--frame", "3.5"},
      {"render", "-o", "o.png"},                           // no project
      {"render", "a.QV", "b.QV", "-o", "o.png"},           // two projects
      {"render", "p.QV", "-o", "o.png", "--from", "1"},    // sequence option
      {"render", "p.QV", "-o", "o.png", "--meta5", "x"},
      {"render", "p.QV", "-o", "o.png", "--time", "25:00:00"},
      {"render", "p.QV", "-o", "o.png", "--time", "1:2:3"},
      {"render", "p.QV", "-o", "o.png", "--wat"},
      {"sequence", "p.QV", "-o", "f_%05d.png", "--from", "3"},
      {"sequence", "p.QV", "-o", "f_%05d.png", "--from", "8", "--to", "7"},
      {"sequence", "p.QV", "-o", "f.png", "--from", "1", "--to", "2"},       // no number field
      {"sequence", "p.QV", "-o", "f_%d_%d.png", "--from", "1", "--to", "2"}, // two fields
      {"sequence", "p.QV", "-o", "f_%s.png", "--from", "1", "--to", "2"},
      {"sequence", "p.QV", "--no-output", "-o", "f_%05d.png", "--from", "1", "--to", "2"},
      {"sequence", "p.QV", "--no-output=yes", "--from", "1", "--to", "2"},
      {"render", "p.QV", "--no-output"},
      {"resave", "a.QV"},
      {"resave", "a.QV", "b.QV", "-o", "x.png"},
      {"info", "p.QV", "-o", "x.png"},
      {"info", "p.QV", "--checkerboard"},
      {"items"},
      {"items", "a.txt", "b.txt"},
      {"items", "a.txt", "-o", "x.png"},
      {"items", "a.txt", "--meta1", "x"},
      {"items", "a.txt", "--time", "10:00:00"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(Parse(args, &error)) << ::testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
}

TEST(Options, TimeOfDay) {
  struct Case {
    const char* text;
    std::optional<TTimeOfDay> value;
  };
  const Case cases[] = {
      {"00:00:00", TTimeOfDay{0, 0, 0, 0}},       {"23:59:59.999", TTimeOfDay{23, 59, 59, 999}},
      {"12:00:00.05", TTimeOfDay{12, 0, 0, 50}},  {"12:00:00.", std::nullopt},
      {"12:60:00", std::nullopt},                  {"12:00:00.1234", std::nullopt},
      {"12-00-00", std::nullopt},                  {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTimeOfDay(c.text), c.value) << c.text;
}

TEST(Options, FramePattern) {
  EXPECT_EQ(FormatFramePattern("out_%05d.png", 42), "out_00042.png");
  EXPECT_EQ(FormatFramePattern("out_%d.tga", 7), "out_7.tga");
  EXPECT_EQ(FormatFramePattern("100%%_%03d.png", 5), "100%_005.png");
  EXPECT_EQ(FormatFramePattern("f%04d.png", -3), "f-003.png");
}

}  // namespace
}  // namespace qv::render

namespace qv::render {
namespace {

TEST(Options, VideoAndPlay) {
  auto v = Parse({"video", "p.QV", "-o", "clip.MOV", "--from", "0", "--to", "249", "--codec", "qtrle", "--quiet"});
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Command, TCommand::cmVideo);
  EXPECT_EQ(v->Codec, video::TVideoCodec::vcQtrle);
  EXPECT_TRUE(v->Quiet);
  EXPECT_EQ(Parse({"video", "p.QV", "-o", "c.mov", "--from", "0", "--to", "1"})->Codec, video::TVideoCodec::vcProRes4444);
  auto h = Parse({"video", "p.QV", "-o", "c.mp4", "--from", "0", "--to", "1", "--codec=h264", "--background", "bg.png"});
  ASSERT_TRUE(h);
  EXPECT_EQ(h->Background, "bg.png");

  auto p = Parse({"play", "p.QV", "--y4m", "-", "--data", "news.json", "--frames", "50", "--background", "bg.png"});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Command, TCommand::cmPlay);
  EXPECT_EQ(p->Stream, TStreamFormat::sfY4m);
  EXPECT_EQ(p->Output, "-");
  EXPECT_EQ(p->DataFile, "news.json");
  EXPECT_EQ(p->Frames, 50);
  auto r = Parse({"play", "p.QV", "--raw", "-"});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->Stream, TStreamFormat::sfRaw);
  EXPECT_FALSE(r->Frames);

  struct TBad {
    std::vector<std::string> args;
    const char* error;
  };
  for (const TBad& b : std::vector<TBad>{
           {{"video", "p.QV", "--from", "0", "--to", "1"}, "missing -o OUTPUT"},
           {{"video", "p.QV", "-o", "c.mov", "--to", "1"}, "video needs --from and --to"},
           {{"video", "p.QV", "-o", "c.mov", "--from", "0", "--to", "1", "--codec", "dnxhd"}, "unknown codec \"dnxhd\""},
           {{"video", "p.QV", "-o", "c.mov", "--from", "0", "--to", "1", "--background", "b.png"},
            "--background applies to --codec h264 only"},
           {{"video", "p.QV", "-o", "c.mov", "--from", "0", "--to", "1", "--quiet=yes"}, "option --quiet takes no value"},
           {{"video", "p.QV", "-o", "c.mp4", "--from", "0", "--to", "1"}, "a prores4444 file ends in .mov: c.mp4"},
           {{"video", "p.QV", "-o", "c.mov", "--from", "0", "--to", "1", "--codec", "ffv1"}, "a ffv1 file ends in .mkv"},
           {{"play", "p.QV"}, "play needs --raw - or --y4m -"},
           {{"play", "p.QV", "--raw", "-", "--y4m", "-"}, "--raw and --y4m exclude each other"},
           {{"play", "p.QV", "--raw", "-", "--background", "b.png"}, "--background applies to --y4m only"},
           {{"play", "p.QV", "--raw", "-", "--frames", "0"}, "--frames needs a count of at least 1"},
           {{"play", "p.QV", "--raw", "-", "--from", "3"}, "option --from does not apply to play"},
           {{"render", "p.QV", "-o", "x.png", "--codec", "ffv1"}, "option --codec does not apply to render"},
       }) {
    std::string error;
    EXPECT_FALSE(Parse(b.args, &error)) << ::testing::PrintToString(b.args);
    EXPECT_EQ(error.substr(0, std::string(b.error).size()), b.error) << error;
  }
}

}  // namespace
}  // namespace qv::render
