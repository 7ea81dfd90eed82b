// qvrender batch as a user runs it: rows rendered or skipped, exit statuses, pages equal to the
// ones render and sequence make, and the README's ways of spreading a run over processes.
#include "support/Files.h"
#include "support/ImageFiles.h"
#include "support/Qvrender.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include <sys/stat.h>

namespace qv::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

class Batch : public ::testing::Test {
 protected:
  TRunResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> all{"batch"};
    all.insert(all.end(), args.begin(), args.end());
    return RunQvrender(all);
  }
  std::string P(const std::string& name) const { return (dir / name).string(); }

  // One picture layer "pic", 7 x 5 at (10, 20), whose file and place the rows change.
  std::string PicturePage() {
    WriteImage(dir / "a.png", TRgbaImage::Pattern(7, 5, 40));
    WriteImage(dir / "b.png", TRgbaImage::Pattern(7, 5, 90));
    return dir.Write("pic.QV", Lines({"\tObject '':TImageLayer", "\t\tFileName = " + P("a.png"),
                                      "\t\tlayerName = pic", "\t\tX = 10", "\t\tY = 20", "\t\tWidth = 7",
                                      "\t\tHeight = 5", "\tEnd"}));
  }

  TTestDir dir{"batchrun"};
};

TEST_F(Batch, BadRowsAreReportedAndSkippedTheOthersRendered) {
  const std::string page = PicturePage();
  const std::string csv = dir.Write("rows.csv", "name,pic.FileName,pic.X,notes\r\n"
                                                "one," + P("a.png") + ",100,\r\n"
                                                "two," + P("missing.png") + ",100,\r\n"
                                                "three," + P("b.png") + ",left,\r\n"
                                                "\"four\"," + P("b.png") + ",200,\"a note\"\r\n"
                                                "five," + P("b.png") + ",300\r\n"
                                                "six," + P("b.png") + ",300,\r\n");
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(std::string("jobs ") + jobs);
    fs::remove_all(dir / "out");
    const TRunResult r = Run({page, csv, "-o", P("out/{name}.png"), "--jobs", jobs});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(FilesIn(dir / "out"), (std::set<std::string>{"one.png", "six.png"}));
    // Reported in row order, each with its row and line.
    const std::vector<std::string> expected = {"row 2 (line 3): ", "missing.png", "row 3 (line 4): column \"pic.X\"",
                                               "row 4 (line 5): column \"notes\"", "row 5 (line 6): has 3 fields",
                                               "4 of 6 rows failed"};
    std::size_t at = 0;
    for (const std::string& part : expected) {
      const std::size_t found = r.err.find(part, at);
      EXPECT_NE(found, std::string::npos) << "\"" << part << "\" in order in:\n" << r.err;
      if (found != std::string::npos) at = found;
    }
    // The good rows are what they asked for: row six's picture at x = 300.
    const TRgbaImage six = ReadImage(dir / "out/six.png");
    const TRgbaImage b = TRgbaImage::Pattern(7, 5, 90);
    ASSERT_EQ(six.w, 768);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(six.rgba[(std::size_t(20) * 768 + 300) * 4 + c], b.rgba[c]);
    const TRgbaImage one = ReadImage(dir / "out/one.png");
    const TRgbaImage a = TRgbaImage::Pattern(7, 5, 40);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(one.rgba[(std::size_t(20 + 4) * 768 + 100 + 6) * 4 + c], a.rgba[(4 * 7 + 6) * 4 + c]);
  }
}

TEST_F(Batch, EveryRowIsThePageRenderWouldMake) {
  // The example page with its crawls, clock and animations: rows drawn by two jobs in any order
  // are each the page render makes with the same metadata, byte for byte.
  const std::string page = std::string(QV_EXAMPLES_DIR) + "/news/news.QV";
  const std::vector<std::string> heads = {"First headline", "Zweite Schlagzeile, länger als die erste", "",
                                          "Fourth \"quoted\""};
  std::string csv = "file,Meta1\n";
  for (std::size_t i = 0; i < heads.size(); ++i) {
    csv.append("r").append(std::to_string(i)).append(",\"");
    for (char c : heads[i]) csv.append(c == '"' ? 2 : 1, c);
    csv.append("\"\n");
  }
  const std::string data = dir.Write("heads.csv", csv);
  const TRunResult r = Run({page, data, "-o", P("out/{file}.png"), "--frame", "40", "--time", "09:30:00", "--jobs", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  for (std::size_t i = 0; i < heads.size(); ++i) {
    SCOPED_TRACE(heads[i]);
    const std::string single = P("single" + std::to_string(i) + ".png");
    const TRunResult s = RunQvrender({"render", page, "-o", single, "--frame", "40", "--time", "09:30:00",
                                      "--meta1", heads[i]});
    ASSERT_EQ(s.code, 0) << s.err;
    const std::string got = ReadBytes(dir / ("out/r" + std::to_string(i) + ".png"));
    EXPECT_FALSE(got.empty());
    EXPECT_TRUE(got == ReadBytes(single)) << "row " << i << " differs from render's page";
  }
  EXPECT_FALSE(ReadBytes(dir / "out/r0.png") == ReadBytes(dir / "out/r1.png"));

  // A range of frames per row is the sequence of the same page.
  const TRunResult range = Run({page, data, "-o", P("seq/{file}_%03d.png"), "--from", "3", "--to", "5", "--time",
                                "09:30:00", "--jobs", "2"});
  ASSERT_EQ(range.code, 0) << range.err;
  EXPECT_EQ(FilesIn(dir / "seq").size(), 12u);
  const TRunResult seq = RunQvrender({"sequence", page, "-o", P("ref_%03d.png"), "--from", "3", "--to", "5",
                                      "--time", "09:30:00", "--meta1", heads[1]});
  ASSERT_EQ(seq.code, 0) << seq.err;
  for (const char* f : {"003", "004", "005"}) {
    const std::string got = ReadBytes(dir / (std::string("seq/r1_") + f + ".png"));
    EXPECT_FALSE(got.empty());
    EXPECT_TRUE(got == ReadBytes(dir / (std::string("ref_") + f + ".png"))) << "frame " << f;
  }
}

TEST_F(Batch, RowsWritingOneFileStopTheRunBeforeAnything) {
  const std::string page = PicturePage();
  // "a/b" and "a:b" both become "a_b".
  const std::string csv = dir.Write("dup.csv", "name,pic.X\nx,1\na/b,2\ny,3\na:b,4\n");
  const TRunResult r = Run({page, csv, "-o", P("out/{name}.png"), "--shard", "0/2"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("rows 2 (line 3) and 4 (line 5) would both write " + P("out/a_b.png")), std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Batch, CommandLineAndTableFaults) {
  const std::string page = PicturePage();
  const std::string csv = dir.Write("t.csv", "name,pic.X\nx,1\n");
  const std::string out = P("o/{name}.png");
  const std::vector<std::pair<std::vector<std::string>, std::string>> usage = {
      {{page, csv}, "missing -o"},
      {{page, "-o", out}, "needs TEMPLATE.QV and DATA.csv"},
      {{page, csv, "-o", P("o/{name}.jpg")}, "must end in .png or .tga"},
      {{page, csv, "-o", out, "--from", "0", "--to", "3"}, "frame-number field"},
      {{page, csv, "-o", P("o/{name}%d.png"), "--from", "0"}, "both --from and --to"},
      {{page, csv, "-o", P("o/{name}%d.png"), "--from", "4", "--to", "3"}, "--from must not be after --to"},
      {{page, csv, "-o", P("o/{name}%d.png"), "--from", "0", "--to", "3", "--frame", "2"}, "exclude each other"},
      {{page, csv, "-o", out, "--jobs", "0"}, "--jobs needs at least 1"},
      {{page, csv, "-o", out, "--shard", "2/2"}, "I/N with 0 <= I < N"},
      {{page, csv, "-o", out, "--checkerboard"}, "unknown option --checkerboard"},
  };
  for (const auto& [args, message] : usage) {
    SCOPED_TRACE(message);
    const TRunResult r = Run(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("qvrender batch"), std::string::npos) << "the usage follows";
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> faults = {
      {{page, csv, "-o", P("o/{team}.png")}, "no column \"team\""},
      {{page, dir.Write("q.csv", "name\n\"open\n"), "-o", out}, "q.csv:2: a quoted field does not end"},
      {{page, dir.Write("h.csv", "name,name\nx,y\n"), "-o", out}, "two columns are named \"name\""},
      {{page, P("none.csv"), "-o", out}, "none.csv: cannot be opened"},
      {{P("none.QV"), csv, "-o", out}, "none.QV"},
  };
  for (const auto& [args, message] : faults) {
    SCOPED_TRACE(message);
    const TRunResult r = Run(args);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "o"));
}

// The README's commands as its reader runs them: qvrender on the PATH, in a folder of their own.
class BatchReadme : public Batch {
 protected:
  void SetUp() override {
    fs::create_directory_symlink(fs::path(QV_EXAMPLES_DIR), dir / "examples");
    std::string csv = "name,Meta1\n";
    for (int i = 0; i < 20; ++i) {
      const std::string n = std::to_string(i);
      csv.append("p").append(n).append(",Person ").append(n).append("\n");
    }
    dir.Write("names.csv", csv);
    const std::string bin = fs::path(QVRENDER_BIN).parent_path().string();
    std::string path = bin;
    path.append(":").append(std::getenv("PATH"));
    setenv("PATH", path.c_str(), 1);
  }
  // The indented command of README.md that starts with Start.
  static std::string ReadmeCommand(const std::string& start) {
    std::ifstream in(std::string(QV_SOURCE_DIR) + "/README.md");
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("    " + start, 0) == 0) return line.substr(4);
    }
    return {};
  }
  TRunResult Shell(const std::string& command) { return RunProgram("/bin/sh", {"-c", "cd '" + P("") + "' && " + command}); }
};

TEST_F(BatchReadme, GnuParallelRendersEveryRowOnce) {
  const std::string command = ReadmeCommand("parallel qvrender batch");
  ASSERT_NE(command.find("--shard {}/4 ::: 0 1 2 3"), std::string::npos) << command;
  const TRunResult r = Shell(command);
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  std::set<std::string> expected;
  for (int i = 0; i < 20; ++i) expected.insert(std::string("p").append(std::to_string(i)).append(".png"));
  EXPECT_EQ(FilesIn(dir / "out"), expected);
}

TEST_F(BatchReadme, JobArrayTasksCoverEveryShardOnce) {
  const std::string script = std::string(QV_SOURCE_DIR) + "/examples/batch/render-array.sh";
  // A stand-in for qvrender that notes the shard each task asks for.
  const std::string fake = dir.Write("fake-qvrender", "#!/bin/sh\nwhile [ $# -gt 0 ]; do\n"
                                                      "  if [ \"$1\" = --shard ]; then echo \"$2\" >> '" +
                                                          P("shards.txt") + "'; fi\n  shift\ndone\n");
  ::chmod(fake.c_str(), 0755);
  struct TArray {
    int first, last, step;
  };
  for (const TArray& a : {TArray{0, 6, 1}, TArray{1, 5, 1}, TArray{0, 12, 3}, TArray{4, 4, 1}, TArray{2, 20, 6}}) {
    SCOPED_TRACE(std::to_string(a.first) + "-" + std::to_string(a.last) + ":" + std::to_string(a.step));
    fs::remove(dir / "shards.txt");
    const int count = (a.last - a.first) / a.step + 1;
    for (int id = a.first; id <= a.last; id += a.step) {
      const std::string env = "SLURM_ARRAY_TASK_ID=" + std::to_string(id) + " SLURM_ARRAY_TASK_MIN=" +
                              std::to_string(a.first) + " SLURM_ARRAY_TASK_MAX=" + std::to_string(a.last) +
                              " SLURM_ARRAY_TASK_STEP=" + std::to_string(a.step) + " SLURM_ARRAY_TASK_COUNT=" +
                              std::to_string(count) + " QVRENDER='" + fake + "' ";
      const TRunResult r = Shell(env + "'" + script + "' page.QV names.csv 'out/{name}.png'");
      ASSERT_EQ(r.code, 0) << r.err;
    }
    std::ifstream in(dir / "shards.txt");
    std::multiset<std::string> got;
    for (std::string s; std::getline(in, s);) got.insert(s);
    std::multiset<std::string> want;
    for (int k = 0; k < count; ++k) want.insert(std::to_string(k) + "/" + std::to_string(count));
    EXPECT_EQ(got, want);
  }
  // And with qvrender itself, three tasks draw the 20 rows between them.
  for (int id = 1; id <= 3; ++id) {
    const TRunResult r = Shell("SLURM_ARRAY_TASK_ID=" + std::to_string(id) +
                               " SLURM_ARRAY_TASK_MIN=1 SLURM_ARRAY_TASK_COUNT=3 SLURM_CPUS_PER_TASK=1 '" + script +
                               "' examples/news/news.QV names.csv 'arr/{name}.png' --frame 30");
    ASSERT_EQ(r.code, 0) << r.err;
  }
  EXPECT_EQ(FilesIn(dir / "arr").size(), 20u);
}

}  // namespace
}  // namespace qv::test
