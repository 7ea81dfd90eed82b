// The progress line's text.
#include "app/qvrender/Progress.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(ProgressLine, SaysFramesRateAndTimeLeft) {
  struct TCase {
    int done, total;
    double seconds;
    const char* text;
  };
  for (const TCase& c : std::vector<TCase>{
           {0, 250, 0.0, "frame 0/250    0%"},
           {50, 250, 2.0, "frame 50/250   20%  25.0 fps  0:08 left"},
           {125, 250, 50.0, "frame 125/250   50%  2.5 fps  0:50 left"},
           {10, 10000, 1.0, "frame 10/10000    0%  10.0 fps  16:39 left"},
           {250, 250, 10.0, "frame 250/250  100%  25.0 fps  0:00 left"},
       }) {
    EXPECT_EQ(render::FormatProgress(c.done, c.total, c.seconds), c.text);
  }
}

}  // namespace
}  // namespace qv::test
