#include "model/Signal.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qv {
namespace {

TEST(Signal, ListenersRunInConnectionOrderAndStopWhenTheirConnectionGoes) {
  TSignal<int> s;
  std::vector<std::string> calls;
  TConnection a = s.Connect([&](int v) { calls.push_back("a" + std::to_string(v)); });
  auto b = std::make_unique<TConnection>(s.Connect([&](int v) { calls.push_back("b" + std::to_string(v)); }));
  TConnection c = s.Connect([&](int v) { calls.push_back("c" + std::to_string(v)); });
  s(1);
  b.reset();  // destroyed: disconnected
  s(2);
  c.Disconnect();
  s(3);
  EXPECT_EQ(calls, (std::vector<std::string>{"a1", "b1", "c1", "a2", "c2", "a3"}));
  EXPECT_TRUE(a.Connected());
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(s.ListenerCount(), 1u);
}

TEST(Signal, AMovedConnectionKeepsTheListenerAndAReplacedOneDropsIt) {
  TSignal<> s;
  int first = 0, second = 0;
  TConnection held = s.Connect([&] { ++first; });
  TConnection moved = std::move(held);
  s();
  moved = s.Connect([&] { ++second; });  // the first listener is disconnected by the assignment
  s();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
}

TEST(Signal, AConnectionMayOutliveItsSignal) {
  TConnection c;
  {
    TSignal<> s;
    c = s.Connect([] {});
    EXPECT_TRUE(c.Connected());
  }
  EXPECT_FALSE(c.Connected());
  c.Disconnect();  // nothing left to disconnect, nothing breaks
}

TEST(Signal, ListenersChangingTheListDuringARun) {
  TSignal<> s;
  std::vector<std::string> calls;
  TConnection late;
  TConnection victim;
  TConnection self;
  // The first listener disconnects a later one and connects a new one; the new one waits for the
  // next run, the disconnected one is not called in this run.
  TConnection first = s.Connect([&] {
    calls.push_back("first");
    victim.Disconnect();
    if (!late.Connected()) late = s.Connect([&] { calls.push_back("late"); });
  });
  self = s.Connect([&] {
    calls.push_back("self");
    self.Disconnect();  // a listener may drop itself while it runs
  });
  victim = s.Connect([&] { calls.push_back("victim"); });
  s();
  s();
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "self", "first", "late"}));
}

}  // namespace
}  // namespace qv
