// The batch's logic without Qt: the CSV table, what each column sets on a page, output names and
// shards.
#include "batch/BatchRows.h"
#include "batch/CsvTable.h"
#include "composition/ImageLayers.h"
#include "composition/TextLayer.h"
#include "support/Files.h"
#include "support/ImageFiles.h"

#include <gtest/gtest.h>

#include <map>

namespace qv::test {
namespace {

using Fields = std::vector<std::string>;

struct TCsvCase {
  const char* what;
  std::string text;
  Fields header;
  std::vector<Fields> rows;
  std::vector<int> lines;  // where each row starts
};

TEST(CsvTable, ReadsRecordsAsTheStandardWritesThem) {
  const std::vector<TCsvCase> cases = {
      {"quoted comma and doubled quotes", "a,b\n\"x,1\",\"say \"\"hi\"\"\"\n", {"a", "b"}, {{"x,1", "say \"hi\""}}, {2}},
      {"line breaks inside a field, CR LF ends",
       "a,b\r\n\"l1\r\nl2\",z\r\nq,r\r\n",
       {"a", "b"},
       {{"l1\r\nl2", "z"}, {"q", "r"}},
       {2, 4}},
      {"LF inside a field of an LF file", "a\n\"one\n\ntwo\"\nnext\n", {"a"}, {{"one\n\ntwo"}, {"next"}}, {2, 5}},
      {"byte-order mark", "\xEF\xBB\xBFname,Meta1\nx,y\n", {"name", "Meta1"}, {{"x", "y"}}, {2}},
      {"empty fields", "a,b,c\n,,\n\"\",x,\n", {"a", "b", "c"}, {{"", "", ""}, {"", "x", ""}}, {2, 3}},
      {"ragged rows keep what they have", "a,b\n1\n1,2,3\n", {"a", "b"}, {{"1"}, {"1", "2", "3"}}, {2, 3}},
      {"no line end after the last record", "a\nx", {"a"}, {{"x"}}, {2}},
      {"blank lines between records", "a\n\nx\r\n\r\ny\n", {"a"}, {{"x"}, {"y"}}, {3, 5}},
      {"blanks and UTF-8 kept", "a\n  Zoë Müller \n", {"a"}, {{"  Zoë Müller "}}, {2}},
      {"header only", "a,b\r\n", {"a", "b"}, {}, {}},
  };
  for (const TCsvCase& c : cases) {
    SCOPED_TRACE(c.what);
    const TCsvTable t = ParseCsv(c.text);
    EXPECT_EQ(t.Header, c.header);
    ASSERT_EQ(t.Rows.size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      EXPECT_EQ(t.Rows[i].Fields, c.rows[i]) << "row " << i;
      EXPECT_EQ(t.Rows[i].Line, c.lines[i]) << "row " << i;
    }
  }
}

TEST(CsvTable, DamagedTextNamesFileAndLine) {
  const std::vector<std::tuple<const char*, std::string, int>> cases = {
      {"quote never closed", "a\nx\n\"open\nstill\n", 3},
      {"quote inside an unquoted field", "a\nok\nx\"y\n", 3},
      {"text after a closing quote", "a,b\n\"x\"y,z\n", 2},
      {"nothing at all", "", 0},
      {"only a byte-order mark", "\xEF\xBB\xBF", 0},
  };
  for (const auto& [what, text, line] : cases) {
    SCOPED_TRACE(what);
    try {
      ParseCsv(text, "names.csv");
      ADD_FAILURE() << "no error";
    } catch (const ECsvError& e) {
      EXPECT_EQ(e.Line(), line);
      EXPECT_EQ(std::string(e.what()).rfind(line > 0 ? "names.csv:" + std::to_string(line) + ": " : "names.csv: ", 0), 0u)
          << e.what();
    }
  }
  EXPECT_THROW(ReadCsvFile("/nonexistent/names.csv"), ECsvError);
}

// A page of a text layer "headline", a picture "logo", layers "lower" and "lower.third" (a name
// with a dot), and two layers both named "twin".
class BatchPage : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteImage(dir / "logo.png", TRgbaImage::Pattern(4, 3, 9));
    WriteImage(dir / "other.png", TRgbaImage::Pattern(6, 2, 3));
    auto image = [&](const std::string& name) {
      return "\tObject '':TImageLayer\r\n\t\tFileName = " + (dir / "logo.png").string() + "\r\n\t\tlayerName = " +
             name + "\r\n\t\tX = 5\r\n\t\tWidth = 4\r\n\t\tHeight = 3\r\n\tEnd\r\n";
    };
    const std::string project = "\tObject '':TTextLayer\r\n\t\tText = Old\r\n\t\tlayerName = headline\r\n\tEnd\r\n" +
                                image("logo") + image("lower") + image("lower.third") + image("twin") + image("twin");
    sys->LoadFromFile(dir.Write("page.QV", project));
    sys->OnMediaProblem = [this](const std::string& m) { problems.push_back(m); };
    ASSERT_EQ(sys->Layers.size(), 6u);
  }
  TTextLayer& Headline() { return static_cast<TTextLayer&>(*sys->Layers[0]); }
  TImageLayer& Logo() { return static_cast<TImageLayer&>(*sys->Layers[1]); }

  TTestDir dir{"batch"};
  TManualTickSource ticks;
  std::unique_ptr<TQVSystem> sys = Make<TQVSystem>(768, 576, TCompositionContext{.Ticks = &ticks}, true);
  std::vector<std::string> problems;
  TString carrier;
};

TEST_F(BatchPage, ColumnsFindSlotsLayersAndPropertiesOrSayWhyNot) {
  struct TCase {
    std::string column;
    TColumnKind kind;
    int slotOrLayer;
    std::string problemPart;  // ckUnknown
  };
  const std::vector<TCase> cases = {
      {"Meta1", TColumnKind::ckMeta, 0, ""},
      {"meta4", TColumnKind::ckMeta, 3, ""},
      {"NextMeta2", TColumnKind::ckNextMeta, 1, ""},
      {"headline.Text", TColumnKind::ckProperty, 0, ""},
      {"headline.font.FontColor.red", TColumnKind::ckProperty, 0, ""},
      {"logo.FileName", TColumnKind::ckProperty, 1, ""},
      {"lower.Opacity", TColumnKind::ckProperty, 2, ""},
      {"lower.third.Opacity", TColumnKind::ckProperty, 3, ""},
      {"name", TColumnKind::ckData, 0, ""},
      {"Meta5", TColumnKind::ckUnknown, 0, "neither"},
      {"notes", TColumnKind::ckUnknown, 0, "neither"},
      {"Headline.Text", TColumnKind::ckUnknown, 0, "no layer"},
      {"ghost.Text", TColumnKind::ckUnknown, 0, "no layer"},
      {"headline.Nope", TColumnKind::ckUnknown, 0, "no property Nope"},
      {"headline.Font", TColumnKind::ckUnknown, 0, "group of properties"},
      {"headline.Text.Size", TColumnKind::ckUnknown, 0, "Text has no parts"},
      {"headline.", TColumnKind::ckUnknown, 0, "no layer"},
      {"twin.X", TColumnKind::ckUnknown, 0, "more than one layer"},
  };
  Fields header;
  for (const TCase& c : cases) header.push_back(c.column);
  const std::vector<TBatchColumn> columns = ClassifyColumns(header, *sys, {"name", "lower.Opacity"});
  ASSERT_EQ(columns.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].column);
    EXPECT_EQ(columns[i].Kind, cases[i].kind) << columns[i].Problem;
    if (cases[i].kind == TColumnKind::ckMeta || cases[i].kind == TColumnKind::ckNextMeta) {
      EXPECT_EQ(columns[i].Slot, cases[i].slotOrLayer);
    }
    if (cases[i].kind == TColumnKind::ckProperty) {
      EXPECT_EQ(columns[i].Layer, cases[i].slotOrLayer);
    }
    if (cases[i].kind == TColumnKind::ckUnknown) {
      EXPECT_NE(columns[i].Problem.find(cases[i].problemPart), std::string::npos) << columns[i].Problem;
    }
  }
}

TEST_F(BatchPage, ARowSetsSlotsAndPropertiesThroughTheReadersConversion) {
  const Fields header = {"Meta2", "NextMeta3", "headline.Text", "headline.Font.FontColor.Red", "headline.MaxWidth",
                         "logo.FileName", "logo.Visible", "notes"};
  const auto columns = ClassifyColumns(header, *sys, {});
  const std::string other = (dir / "other.png").string();
  EXPECT_EQ(ApplyRow(*sys, columns, {"m2", "n3", "New, \"quoted\"", "0.25", "120", other, "False", ""}, carrier),
            Fields{});
  EXPECT_EQ(sys->Meta(1), "m2");
  EXPECT_EQ(sys->NextMeta(2), "n3");
  EXPECT_EQ(Headline().Text(), "New, \"quoted\"");
  EXPECT_DOUBLE_EQ(Headline().Font().FontColorProperty().Red()->Value(), 0.25);
  EXPECT_EQ(Headline().MaxWidth(), 120);
  EXPECT_EQ(Logo().FileName(), other);
  EXPECT_FALSE(Logo().Visible());
  // The layer was closed as the reader closes it: the new picture is loaded, the size stays the page's.
  ASSERT_NE(Logo().Bitmap, nullptr);
  EXPECT_EQ(Logo().Bitmap->Width(), 6);
  EXPECT_EQ(Logo().Width(), 4);
  EXPECT_TRUE(problems.empty());
}

TEST_F(BatchPage, ARowsFaultsNameTheColumn) {
  const Fields header = {"headline.MaxWidth", "logo.Visible", "notes", "Meta1"};
  const auto columns = ClassifyColumns(header, *sys, {});
  struct TCase {
    const char* what;
    Fields row;
    std::vector<std::string> problemParts;
  };
  const std::vector<TCase> cases = {
      {"a number that is not one", {"wide", "True", "", "x"}, {"\"headline.MaxWidth\": \"wide\" is not a value"}},
      {"a boolean that is not one", {"10", "maybe", "", "x"}, {"\"logo.Visible\": \"maybe\""}},
      {"a value for an unknown column", {"10", "True", "hello", "x"}, {"column \"notes\": neither"}},
      {"too few fields", {"10", "True"}, {"has 2 fields where the header names 4"}},
      {"too many fields", {"10", "True", "", "x", "y"}, {"has 5 fields"}},
      {"two faults", {"wide", "maybe", "", "x"}, {"MaxWidth", "Visible"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Fields got = ApplyRow(*sys, columns, c.row, carrier);
    ASSERT_EQ(got.size(), c.problemParts.size()) << (got.empty() ? "" : got[0]);
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NE(got[i].find(c.problemParts[i]), std::string::npos) << got[i];
  }
  // A good row after the bad ones sets everything again.
  EXPECT_EQ(ApplyRow(*sys, columns, {"77", "True", "", "m"}, carrier), Fields{});
  EXPECT_EQ(Headline().MaxWidth(), 77);
  EXPECT_TRUE(Logo().Visible());
  EXPECT_EQ(sys->Meta(0), "m");
}

TEST_F(BatchPage, AMissingPictureIsReportedByThePage) {
  const auto columns = ClassifyColumns({"logo.FileName"}, *sys, {});
  EXPECT_EQ(ApplyRow(*sys, columns, {(dir / "gone.png").string()}, carrier), Fields{});
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("gone.png"), std::string::npos) << problems[0];
}

TEST_F(BatchPage, EachRowStartsFromTheTemplate) {
  // The headline shows metadata slot 1; the logo's X moves from 5 to 105 over ten frames.
  Headline().SetTextSource(tsMeta1);
  Tkeys& track = *Logo().XProperty().Animation(true);
  track.AddKey(0, 5);
  track.AddKey(10, 105);
  const TPageSnapshot snapshot(*sys);
  const auto columns = ClassifyColumns({"Meta1", "logo.X", "headline.MaxWidth"}, *sys, {});
  auto row = [&](const Fields& values, int frame) {
    const std::vector<TLayer*> restored = snapshot.Restore(columns, carrier);
    for (const auto& layer : sys->Layers) layer->SetFrame(frame);
    EXPECT_EQ(ApplyRow(*sys, columns, values, carrier), Fields{});
    sys->frame = frame;
    sys->Advance();
    for (TLayer* layer : restored) layer->CloseObject();
    return restored;
  };
  row({"Taken from the slot", "50", "300"}, 0);
  EXPECT_EQ(Headline().Text(), "Taken from the slot");
  EXPECT_EQ(Logo().X(), 50);
  // Only the headline took a value of its own (the slot's text); the row's own columns are left
  // to the row.
  EXPECT_EQ(row({"", "60", "200"}, 10), std::vector<TLayer*>{&Headline()});
  // An empty slot shows the template's text, not the last row's; the curve moved once, from the
  // template's, so that it passes 60 at frame 10.
  EXPECT_EQ(Headline().Text(), "Old");
  EXPECT_EQ(Logo().X(), 60);
  sys->frame = 0;
  sys->Advance();
  EXPECT_EQ(Logo().X(), 5 - 45);
  EXPECT_EQ(Headline().MaxWidth(), 200);
}

// A snapshot of only the values some columns set, as the editor's test data keeps one: it puts
// back what differs, leaves what the caller keeps, tells what changed since, and lets go of a
// layer that left the page.
TEST_F(BatchPage, ASnapshotOfSomeColumnsPutsBackOnlyThem) {
  Tkeys& track = *Logo().XProperty().Animation(true);
  track.AddKey(0, 5);
  track.AddKey(10, 105);
  const auto columns = ClassifyColumns({"headline.Text", "logo.X", "logo.Opacity"}, *sys, {});
  const TPageSnapshot before(*sys, columns);
  EXPECT_TRUE(before.Changed().empty());
  EXPECT_EQ(ApplyRow(*sys, columns, {"New", "50", "7"}, carrier), Fields{});
  Logo().SetY(44);  // not a column's: not held
  std::vector<const TBaseProperty*> changed = before.Changed();
  EXPECT_EQ(changed, (std::vector<const TBaseProperty*>{&Headline().TextProperty(), &Logo().XProperty(),
                                                        &Logo().OpacityProperty()}));
  // Everything but the opacity goes back; X by its curve.
  const std::vector<TLayer*> put = before.RestoreExcept({&Logo().OpacityProperty()}, carrier);
  EXPECT_EQ(put, std::vector<TLayer*>{&Headline()});
  EXPECT_EQ(Headline().Text(), "Old");
  EXPECT_EQ(Logo().Opacity(), 7);
  EXPECT_EQ(Logo().Y(), 44);
  Logo().SetFrame(10);
  EXPECT_EQ(Logo().X(), 105);
  EXPECT_EQ(before.Changed(), (std::vector<const TBaseProperty*>{&Logo().OpacityProperty()}));
  // Kept, an animated value keeps its moved curve too.
  EXPECT_EQ(ApplyRow(*sys, columns, {"New", "50", "7"}, carrier), Fields{});
  before.RestoreExcept({&Logo().XProperty()}, carrier);
  Logo().SetFrame(10);
  EXPECT_NE(Logo().X(), 105);

  TPageSnapshot again(*sys, columns);
  sys->DeleteLayer(&Logo());
  again.ForgetMissingLayers();
  EXPECT_EQ(again.Changed(), std::vector<const TBaseProperty*>{});
  Headline().SetText("Changed");
  EXPECT_EQ(again.Changed(), (std::vector<const TBaseProperty*>{&Headline().TextProperty()}));
  EXPECT_EQ(again.RestoreExcept({}, carrier), std::vector<TLayer*>{&Headline()});
  EXPECT_EQ(Headline().Text(), "Old");
}

TEST(OutputPattern, ColumnsValuesAndBraces) {
  std::string error;
  const auto p = TOutputPattern::Parse("out/{{{team}}}/{name}_%05d.png", error);
  ASSERT_TRUE(p) << error;
  EXPECT_EQ(p->Columns(), (Fields{"team", "name"}));
  const Fields header = {"name", "team"};
  EXPECT_EQ(p->Expand(header, {"50% off/now", "A:B"}, false), "out/{A_B}/50% off_now_%05d.png");
  EXPECT_EQ(p->Expand(header, {"50% off/now", "A:B"}, true), "out/{A_B}/50%% off_now_%05d.png");
  for (const char* bad : {"out/{name.png", "out/{}.png", "out/name}.png"}) {
    EXPECT_FALSE(TOutputPattern::Parse(bad, error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(OutputPattern, ValuesBecomeOneSafeFileName) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Alice Smith", "Alice Smith"},
      {"../../etc/passwd", "_.._etc_passwd"},
      {"..", "_"},
      {"", "_"},
      {"  . x .  ", "x"},
      {"C:\\a*b?c\"d<e>f|g", "C__a_b_c_d_e_f_g"},
      {"tab\there\nnewline", "tab_here_newline"},
      {"Zoë", "Zoë"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(FileNameSafe(in), out) << in;
  // Long names are cut on a character boundary.
  std::string longName;
  for (int i = 0; i < 150; ++i) longName += "é";
  const std::string cut = FileNameSafe(longName);
  EXPECT_EQ(cut.size(), 200u);
  EXPECT_EQ(cut, longName.substr(0, 200));
  EXPECT_EQ(FileNameSafe("a" + longName).size(), 199u);
}

TEST(OutputPattern, FirstDuplicateNamesBothRows) {
  EXPECT_EQ(FirstDuplicate({"a", "b", "c"}), std::nullopt);
  EXPECT_EQ(FirstDuplicate({"a", "b", "b", "a"}), (std::pair<std::size_t, std::size_t>{1, 2}));
  EXPECT_EQ(FirstDuplicate({"x", "", "y", "", "x"}), (std::pair<std::size_t, std::size_t>{0, 4}));
}

TEST(Shard, EveryRowOnceOverAllShards) {
  for (int n = 1; n <= 7; ++n) {
    for (std::size_t rows : {0u, 1u, 6u, 7u, 8u, 20u}) {
      std::map<std::size_t, int> seen;
      for (int i = 0; i < n; ++i) {
        const auto s = TShard::Parse(std::to_string(i) + "/" + std::to_string(n));
        ASSERT_TRUE(s);
        for (std::size_t r : s->Rows(rows)) {
          EXPECT_EQ(r % n, static_cast<std::size_t>(i));
          ++seen[r];
        }
      }
      ASSERT_EQ(seen.size(), rows) << n << " shards of " << rows;
      for (const auto& [row, times] : seen) EXPECT_EQ(times, 1) << "row " << row;
    }
  }
  for (const char* bad : {"3/3", "-1/2", "1/0", "0/-1", "1", "a/b", "1/2x", "/2", "1/"}) {
    EXPECT_FALSE(TShard::Parse(bad)) << bad;
  }
}

}  // namespace
}  // namespace qv::test
