// One QApplication for each window test program, on the offscreen platform.
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "editor_window_tests";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app.reset(); }
  std::unique_ptr<QApplication> app;
};
const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
