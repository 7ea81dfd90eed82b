// A batch job's page from row to row: the text that did not change is not laid out again (a
// headline equal to an earlier row's, a clock that starts again at every row), and each page is
// the one a fresh page gives for its row alone.
#include "TextFakes.h"
#include "app/qvrender/Batch.h"
#include "composition/ClockLayer.h"
#include "composition/TextLayer.h"
#include "support/Files.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using render::TBatchOptions;
using render::TBatchPage;

// A headline from Meta1 and a clock showing the time of day.
std::string HeadlinePage(TTestDir& dir) {
  return dir.Write("page.QV", Lines({"\tObject '':TTextLayer", "\t\tTextSource = 1", "\t\tlayerName = headline",
                                     "\t\tX = 40", "\t\tY = 400", "\tEnd", "\tObject '':TClockLayer",
                                     "\t\tlayerName = clock", "\t\tX = 500", "\t\tY = 40", "\tEnd"}));
}

TBatchOptions Options(const std::string& page) {
  TBatchOptions o;
  o.Template = page;
  o.Frame = 30;  // the clock shows 18:00:00 from frame 0 and 18:00:01 from frame 25
  o.Time = TTimeOfDay{18, 0, 0, 0};
  return o;
}

template <class T>
T& LayerOf(TBatchPage& page) {
  for (const auto& l : page.Sys->Layers)
    if (auto* t = dynamic_cast<T*>(l.get())) return *t;
  throw std::runtime_error("no such layer");
}

TEST(BatchPage, TextThatDidNotChangeIsNotLaidOutAgain) {
  TTestDir dir("batchpage");
  const std::string file = HeadlinePage(dir);
  const TBatchOptions o = Options(file);
  TFakeTextRenderer text;
  TBatchPage page(o, text);
  page.Load(file, 1);
  const std::vector<std::string> header = {"name", "Meta1"};
  const auto columns = ClassifyColumns(header, *page.Sys, {"name"});
  TTextLayer& headline = LayerOf<TTextLayer>(page);
  TClockLayer& clock = LayerOf<TClockLayer>(page);

  struct TRow {
    const char* headline;
    std::uint64_t headlineRenders;  // rasterisations of the headline during the row
  };
  const TRow rows[] = {
      {"Anna Berg", 1},    // new
      {"Anna Berg", 0},    // as the row before
      {"Omar Haddad", 1},  // new
      {"Omar Haddad", 0},  // as the row before
      {"Anna Berg", 0},    // the text shown before it: its image is kept
      {"Lea Roth", 1},     // new
  };
  int n = 0;
  for (const TRow& r : rows) {
    const std::string name = std::string("r").append(std::to_string(n++));
    SCOPED_TRACE(name);
    const std::uint64_t headlineBefore = headline.RenderCount(), clockBefore = clock.RenderCount();
    const std::string out = (dir / (name + ".png")).string();
    ASSERT_TRUE(render::RenderRow(page, o, columns, {name, r.headline}, out).empty());
    EXPECT_EQ(headline.Text(), r.headline);
    EXPECT_EQ(clock.Text(), "18:00:01");
    EXPECT_EQ(headline.RenderCount() - headlineBefore, r.headlineRenders);
    // The clock went back to 18:00:00 at frame 0 and on to 18:00:01: after the first row both
    // images are at hand.
    if (n > 1) {
      EXPECT_EQ(clock.RenderCount(), clockBefore);
    }

    // The same row on a page of its own.
    TBatchPage fresh(o, text);
    fresh.Load(file, 1);
    const std::string alone = (dir / (name + "-alone.png")).string();
    ASSERT_TRUE(render::RenderRow(fresh, o, columns, {name, r.headline}, alone).empty());
    EXPECT_EQ(ReadBytes(out), ReadBytes(alone));
  }
}

}  // namespace
}  // namespace qv::test
