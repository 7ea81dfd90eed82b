#include <gtest/gtest.h>

namespace qv { int modelPlaceholder(); }

TEST(Smoke, LibrariesLink) { EXPECT_EQ(qv::modelPlaceholder(), 0); }
