#include <gtest/gtest.h>

#include <vector>

#include "animation/AnimationManager.h"

namespace qv {
namespace {

// Each test uses a registry of its own; the process-wide one is checked separately.
class Registry : public ::testing::Test {
 protected:
  TAnimationManager am;
  int p = 0, q = 0;  // two animated objects, by identity
};

TEST_F(Registry, StartsWithSlotZeroEnabledOnly) {
  EXPECT_EQ(am.Slot, 0);
  EXPECT_FALSE(am.AutoAnimationMode);
  EXPECT_EQ(am.Frame, 0.0);
  EXPECT_TRUE(am.Anims[0].enabled);
  for (int s = 1; s < kAnimationSlots; ++s) EXPECT_FALSE(am.Anims[static_cast<std::size_t>(s)].enabled) << s;
}

TEST_F(Registry, CreatesOnlyWhenForced) {
  EXPECT_EQ(am.getAnimation(&p, false, -1), nullptr);
  EXPECT_EQ(am.RegisteredCount(), 0u);
  Tkeys* t = am.getAnimation(&p, true, -1);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Count(), 0);
  EXPECT_EQ(t->Name, "");
  EXPECT_EQ(am.getAnimation(&p, true, -1), t);
  EXPECT_EQ(am.getAnimation(&p, false, 0), t);
  EXPECT_EQ(am.trygetAnimation(&p, 0), t);
  EXPECT_EQ(am.RegisteredCount(), 1u);
}

TEST_F(Registry, RegisteredObjectWithAnEmptySlotGetsNoTrackWithoutForce) {
  am.getAnimation(&p, true, 0);
  am.Slot = 2;
  EXPECT_EQ(am.getAnimation(&p, false, -1), nullptr);
  EXPECT_EQ(am.trygetAnimation(&p, 2), nullptr);
  am.GetValue(&p);
  EXPECT_EQ(am.trygetAnimation(&p, 2), nullptr);
  am.SetValue(&p);
  EXPECT_NE(am.trygetAnimation(&p, 2), nullptr);
}

TEST_F(Registry, CurrentSlotAndRemainderBySixteen) {
  am.Slot = 3;
  Tkeys* t = am.getAnimation(&p, true, -1);
  EXPECT_EQ(am.trygetAnimation(&p, 3), t);
  EXPECT_EQ(am.trygetAnimation(&p, 19), t);
  EXPECT_EQ(am.trygetAnimation(&p, 0), nullptr);
  am.Slot = 19;
  EXPECT_EQ(am.getAnimation(&p, false, -1), t);
  EXPECT_EQ(am.getAnimation(&q, false, -1), nullptr);
}

struct BadSlotCase {
  int currentSlot;
  int aslot;
};

TEST_F(Registry, SlotsOutsideTheSixteenAddressNothing) {
  const BadSlotCase cases[] = {{0, 16}, {0, -2}, {0, 1000}, {-3, -1}, {-16 - 5, -1}, {0, -17}};
  for (const auto& c : cases) {
    am.Slot = c.currentSlot;
    EXPECT_EQ(am.getAnimation(&p, true, c.aslot), nullptr) << c.currentSlot << " " << c.aslot;
    EXPECT_EQ(am.getAnimation(&p, false, c.aslot), nullptr);
  }
  EXPECT_EQ(am.RegisteredCount(), 0u);
  EXPECT_EQ(am.trygetAnimation(&p, -1), nullptr);
  am.Slot = 0;
  am.getAnimation(&p, true, 15);
  EXPECT_EQ(am.trygetAnimation(&p, -1), nullptr);  // -1 mod 16 keeps its sign
  EXPECT_NE(am.trygetAnimation(&p, 31), nullptr);
}

TEST_F(Registry, RemoveFreesEveryTrackOfTheObject) {
  am.Remove(&p);  // never registered: nothing happens
  EXPECT_EQ(am.RegisteredCount(), 0u);
  for (int s = 0; s < kAnimationSlots; ++s) am.getAnimation(&p, true, s)->AddKey(1.0, 2.0);
  am.getAnimation(&q, true, 0);
  am.Remove(&p);
  for (int s = 0; s < kAnimationSlots; ++s) EXPECT_EQ(am.trygetAnimation(&p, s), nullptr) << s;
  EXPECT_NE(am.trygetAnimation(&q, 0), nullptr);
  am.DeleteAnimation(&q);
  EXPECT_EQ(am.RegisteredCount(), 0u);
}

TEST_F(Registry, RevisionMovesWhenARecordComesOrGoesAndOnlyThen) {
  const std::uint64_t start = am.Revision();
  am.getAnimation(&p, false, 0);  // nothing made
  am.Remove(&q);                  // nothing registered
  EXPECT_EQ(am.Revision(), start);
  am.getAnimation(&p, true, 0);
  const std::uint64_t made = am.Revision();
  EXPECT_NE(made, start);
  am.getAnimation(&p, true, 5);  // another track in the same record
  am.getAnimation(&p, true, 0)->AddKey(1.0, 1.0);
  EXPECT_EQ(am.Revision(), made);
  am.Remove(&p);
  EXPECT_NE(am.Revision(), made);
  EXPECT_NE(am.Revision(), start);
}

TEST_F(Registry, ARecordKnowsWhichSlotsHoldTracks) {
  am.getAnimation(&p, true, 3);
  am.Slot = 14;
  am.getAnimation(&p, true, -1);
  am.getAnimation(&p, false, 7);  // not made
  const TAnimRec* rec = am.Find(&p);
  ASSERT_NE(rec, nullptr);
  for (int s = 0; s < kAnimationSlots; ++s)
    EXPECT_EQ((rec->Occupied >> s) & 1u, rec->AnimationList[static_cast<std::size_t>(s)] ? 1u : 0u) << s;
  EXPECT_EQ(rec->Occupied, (1u << 3) | (1u << 14));
}

std::vector<int>* gFired = nullptr;
void Record(void* data) { gFired->push_back(*static_cast<int*>(data)); }

TEST_F(Registry, FrameProceduresFireOnceInQueueOrder) {
  std::vector<int> fired;
  gFired = &fired;
  int ten = 10, five = 5, three = 3;
  am.addProc(&Record, 10, &ten);
  am.addProc(&Record, 5, &five);
  am.addProc(&Record, 3, &three);
  am.SetFrame(7);
  EXPECT_EQ(am.Frame, 7.0);
  EXPECT_EQ(fired, (std::vector<int>{5, 3}));
  am.SetFrame(10);
  EXPECT_EQ(fired, (std::vector<int>{5, 3, 10}));
  am.SetFrame(10);
  EXPECT_EQ(fired.size(), 3u);
  EXPECT_EQ(am.QueuedProcs(), 0u);
}

struct Reentry {
  TAnimationManager* am;
  std::vector<int>* fired;
  int id;
};
void QueueAnother(void* data) {
  auto* r = static_cast<Reentry*>(data);
  r->fired->push_back(r->id);
  static Reentry follow{};
  follow = {r->am, r->fired, r->id + 100};
  r->am->addProc([](void* d) { static_cast<Reentry*>(d)->fired->push_back(static_cast<Reentry*>(d)->id); }, 0,
                 &follow);
}
void CallSetFrame(void* data) {
  auto* r = static_cast<Reentry*>(data);
  r->fired->push_back(r->id);
  r->am->SetFrame(50);
}

TEST_F(Registry, ProceduresMayQueueProceduresAndSetTheFrame) {
  std::vector<int> fired;
  Reentry a{&am, &fired, 1}, b{&am, &fired, 2};
  int late = 40;
  gFired = &fired;
  am.addProc(&QueueAnother, 1, &a);   // queues a procedure due at once: it fires in the same walk
  am.addProc(&CallSetFrame, 2, &b);   // sets the frame again from inside the walk
  am.addProc(&Record, 40, &late);
  am.SetFrame(5);
  // The inner SetFrame(50) walks the queue as it is then: the frame-40 procedure, then the one
  // queued by the first procedure.
  EXPECT_EQ(fired, (std::vector<int>{1, 2, 40, 101}));
  EXPECT_EQ(am.QueuedProcs(), 0u);
  EXPECT_EQ(am.Frame, 50.0);  // the inner call stored its frame last
}

}  // namespace
}  // namespace qv
