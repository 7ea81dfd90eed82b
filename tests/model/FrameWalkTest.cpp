// A container's SetFrame calls only the children that can do something at a frame. Which those
// are is worked out once and again after the tree or the registry changed; none of this may show:
// every value follows its tracks and every subscriber hears the same calls in the same order as
// if every named child were called.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestClasses.h"

namespace qv::test {

// A boolean that counts its SetFrame calls, without a declaration of its own kind.
class TFrameCounter : public TBoolean {
 public:
  int calls = 0;
  void SetFrame(double Frame) override { ++calls; }
};

// The same with its class declared.
class TDeclaredFrameCounter : public TBoolean {
  QV_PROPERTY(TDeclaredFrameCounter)
 public:
  int calls = 0;
  void SetFrame(double Frame) override { ++calls; }
};

// A derived value class that keeps the SetFrame of TDouble.
class TPlainDerivedDouble : public TDouble {
  QV_PROPERTY(TPlainDerivedDouble)
};

// A group that counts the SetFrame calls it forwards, without a declaration of its own kind.
class TCountingGroup : public TGroup {
 public:
  int calls = 0;
  void SetFrame(double Frame) override {
    ++calls;
    TGroup::SetFrame(Frame);
  }
};

class TFrameProbes : public TContainerObject {
  QV_CONTAINER(TFrameProbes, TContainerObject)
 public:
  TFrameCounter* fcounter = nullptr;
  TDeclaredFrameCounter* fdeclared = nullptr;
  TCountingGroup* fgroup = nullptr;
  TPlainDerivedDouble* fderived = nullptr;

 protected:
  TFrameProbes() = default;
};

QV_PUBLISHED(TFrameProbes,
             QV_MEMBER("Counter", fcounter),
             QV_MEMBER("Declared", fdeclared),
             QV_MEMBER("Group", fgroup),
             QV_MEMBER("Derived", fderived))

namespace {

void Ramp(TBaseProperty* p, double from, double to) {
  Tkeys* k = p->Animation(true);
  k->AddKey(0.0, from);
  k->AddKey(10.0, to);
}

class FrameWalk : public ::testing::Test {
 protected:
  TestPage page;
};

TEST_F(FrameWalk, EveryClassTellsWhatItsSetFrameDoes) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  auto probes = Make<TFrameProbes>();
  page.Join(*probes);
  struct Case {
    const TBaseProperty* p;
    TFrameUse use;
  };
  const TBaseProperty plain;
  const TDouble d;
  const TMinMaxInteger mi;
  const TTimeCode tc;
  const TImageFileName file;
  const Case cases[] = {
      {&plain, TFrameUse::fuNone},
      {layer->VAlign(), TFrameUse::fuNone},
      {layer->Visible(), TFrameUse::fuNone},
      {&d, TFrameUse::fuTracks},
      {&mi, TFrameUse::fuTracks},
      {&tc, TFrameUse::fuTracks},
      {&file, TFrameUse::fuTracks},
      {layer->Text(), TFrameUse::fuTracks},
      {probes->fderived, TFrameUse::fuTracks},
      {layer.get(), TFrameUse::fuChildren},
      {layer->Font(), TFrameUse::fuChildren},
      {layer->Font()->Color(), TFrameUse::fuChildren},
      {probes->fcounter, TFrameUse::fuOwn},   // overrides SetFrame, kind inherited: unknown
      {probes->fdeclared, TFrameUse::fuOwn},  // overrides SetFrame and says so
      {probes->fgroup, TFrameUse::fuOwn},
  };
  for (const Case& c : cases) EXPECT_EQ(c.p->FrameUse(), c.use) << c.p->ClassName() << " " << c.p->Name;
}

TEST_F(FrameWalk, ChildrenWithASetFrameOfTheirOwnAreAlwaysCalled) {
  auto probes = Make<TFrameProbes>();
  page.Join(*probes);
  probes->SetFrame(1);
  probes->SetFrame(2);
  EXPECT_EQ(probes->fcounter->calls, 2);
  EXPECT_EQ(probes->fdeclared->calls, 2);
  EXPECT_EQ(probes->fgroup->calls, 2);
  Ramp(probes->fderived, 0, 10);
  Ramp(probes->fgroup->Size(), 0, 100);
  probes->SetFrame(3);
  EXPECT_EQ(probes->fderived->Value(), 3.0);
  EXPECT_EQ(probes->fgroup->Size()->Value(), 30.0);
  EXPECT_EQ(probes->fcounter->calls, 3);
}

TEST_F(FrameWalk, TracksMadeAfterAnEvaluationAreFollowedAtTheNext) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  Ramp(layer->X(), 0, 10);
  layer->SetFrame(5);
  EXPECT_EQ(layer->X()->Value(), 5);
  // A new record deep in the tree, then one in a slot of a property that already has a record.
  Ramp(layer->Font()->Color()->Alpha(), 0, 1);
  layer->SetFrame(5);
  EXPECT_EQ(layer->Font()->Color()->Alpha()->Value(), 0.5);
  page.Animations.Anims[2].enabled = true;
  layer->X()->Animation(true, 2)->AddKey(0.0, 77.0);
  layer->SetFrame(6);
  EXPECT_EQ(layer->X()->Value(), 77);  // slot 2 comes after slot 0
}

TEST_F(FrameWalk, RemovedTracksAreNotEvaluatedAndNewOnesAreAgain) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  TDouble* size = layer->Font()->Size();
  Ramp(size, 0, 10);
  layer->SetFrame(4);
  ChangeCounter changes(size);
  page.Animations.Remove(size);
  layer->SetFrame(8);
  EXPECT_EQ(size->Value(), 4.0);
  EXPECT_EQ(changes.count, 0);
  Ramp(size, 100, 200);
  layer->SetFrame(8);
  EXPECT_EQ(size->Value(), 180.0);
  EXPECT_EQ(changes.count, 1);
}

TEST_F(FrameWalk, AChildWithoutANameIsLeftOutWhileItHasNone) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  Ramp(layer->Speed(), 0, 10);
  layer->SetFrame(1);
  layer->Speed()->Name.clear();
  layer->SetFrame(2);
  EXPECT_EQ(layer->Speed()->Value(), 1.0);
  layer->Speed()->Name = "Speed";
  layer->SetFrame(3);
  EXPECT_EQ(layer->Speed()->Value(), 3.0);
}

TEST_F(FrameWalk, SubscribersHearTheChangesInChildOrderDepthFirst) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  std::vector<std::string> log;
  int key = 0;
  auto logAs = [&](TBaseProperty* p, std::string tag) {
    p->AddChangeNotify(&key, [&log, tag](TBaseProperty*, void*, const std::string&, std::int32_t) {
      log.push_back(tag);
    });
  };
  // Added in another order than the children's, so that only the walk decides the order.
  TBaseProperty* animated[] = {layer->X(), layer->Opacity(), layer->Speed(), layer->Font()->Color()->Blue(),
                               layer->Text()};
  Ramp(layer->X(), 0, 10);
  Ramp(layer->Opacity(), 0, 100);
  Ramp(layer->Speed(), 0, 1);
  Ramp(layer->Font()->Color()->Blue(), 0, 1);
  layer->Text()->Animation(true)->AddKey(0.0, std::string("T"));
  for (TBaseProperty* p : animated) logAs(p, p->Name);
  logAs(layer.get(), "layer");
  std::vector<std::string> groupLog;
  layer->Font()->Log = &groupLog;
  layer->FontChanges = 0;

  layer->SetFrame(5);
  EXPECT_EQ(log, (std::vector<std::string>{"layer", "Text", "layer", "Blue", "layer", "Speed", "layer", "Opacity",
                                           "layer", "X"}));
  EXPECT_EQ(groupLog, (std::vector<std::string>{"ChildChanged:Color"}));
  EXPECT_EQ(layer->FontChanges, 1);

  log.clear();
  layer->SetFrame(5);  // numbers that keep their value are quiet; the text notifies again
  EXPECT_EQ(log, (std::vector<std::string>{"layer", "Text"}));
}

TEST_F(FrameWalk, ATrackASubscriberMakesDuringTheWalkCountsForTheChildrenAfterIt) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  Ramp(layer->Speed(), 0, 10);  // the walk reaches Speed before Opacity and X, after Font
  int key = 0;
  bool once = false;
  layer->Speed()->AddChangeNotify(&key, [&](TBaseProperty*, void*, const std::string&, std::int32_t) {
    if (once) return;
    once = true;
    Ramp(layer->X(), 0, 100);                      // after Speed: evaluated in this walk
    Ramp(layer->Font()->Color()->Red(), 0, 1);     // before Speed: at the next walk
  });
  layer->SetFrame(5);
  EXPECT_EQ(layer->Speed()->Value(), 5.0);
  EXPECT_EQ(layer->X()->Value(), 50);
  EXPECT_EQ(layer->Font()->Color()->Red()->Value(), 0.0);
  layer->SetFrame(6);
  EXPECT_EQ(layer->Font()->Color()->Red()->Value(), 0.6);
}

TEST_F(FrameWalk, ASubscriberThatDropsALaterSiblingsTrackStopsItsEvaluation) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  Ramp(layer->Speed(), 0, 10);
  Ramp(layer->X(), 0, 100);
  int key = 0;
  layer->Speed()->AddChangeNotify(&key, [&](TBaseProperty*, void*, const std::string&, std::int32_t) {
    page.Animations.Remove(layer->X());
  });
  layer->SetFrame(5);
  EXPECT_EQ(layer->Speed()->Value(), 5.0);
  EXPECT_EQ(layer->X()->Value(), 0);
}

TEST_F(FrameWalk, TheContainersOwnSubscriptionStillWorksWhenCalledByHand) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  std::vector<std::string> groupLog;
  layer->Font()->Log = &groupLog;
  ChangeCounter layerChanges(layer.get());
  TDouble* size = layer->Font()->Size();
  const TNotifyRec* hook = size->NotifyEvents()[0];
  ASSERT_EQ(hook->Requester, layer->Font());
  hook->NotifyEvent(size, hook->Requester, size->Name, hook->Id);
  EXPECT_EQ(groupLog, (std::vector<std::string>{"ChildChanged:Size"}));
  EXPECT_EQ(layerChanges.count, 1);
  EXPECT_EQ(layer->FontChanges, 1);
}

TEST_F(FrameWalk, MutingAContainerStillSilencesWhatTheWalkChanges) {
  auto layer = Make<TKindLayer>();
  page.Join(*layer);
  Ramp(layer->Font()->Size(), 0, 10);
  ChangeCounter layerChanges(layer.get());
  ChangeCounter sizeChanges(layer->Font()->Size());
  layer->Font()->BeginChange(0);
  layer->SetFrame(5);
  EXPECT_EQ(layerChanges.count, 0);
  EXPECT_EQ(sizeChanges.count, 1);
  layer->Font()->EndChange(0);
  layer->SetFrame(6);
  EXPECT_EQ(layerChanges.count, 1);
}

// The walk without anything left out: every named child in order, groups recursively.
void PlainSetFrame(TBaseProperty& p, double Frame) {
  auto* group = dynamic_cast<TCustomContainerObject*>(&p);
  if (group == nullptr || p.FrameUse() != TFrameUse::fuChildren) {
    p.SetFrame(Frame);
    return;
  }
  for (std::size_t i = 0; i < group->Count(); ++i)
    if (!group->Child(i)->Name.empty()) PlainSetFrame(*group->Child(i), Frame);
}

void ForEachInTree(TBaseProperty& p, const std::function<void(TBaseProperty&)>& fn) {
  fn(p);
  if (auto* group = dynamic_cast<TCustomContainerObject*>(&p))
    for (std::size_t i = 0; i < group->Count(); ++i) ForEachInTree(*group->Child(i), fn);
}

// A layer with tracks, a subscriber on every property that logs what it hears, and one on Speed
// that changes the registry and the tree's names while frames are being evaluated, and once
// evaluates the layer again from inside the walk.
struct Scene {
  TestPage page;
  std::unique_ptr<TKindLayer> layer = Make<TKindLayer>();
  std::vector<std::string> log;
  std::function<void(double)> walk;  // how the layer is evaluated
  int key = 0;
  bool reentered = false;

  explicit Scene(std::function<void(TKindLayer&, double)> how) {
    page.Join(*layer);
    walk = [this, how](double f) { how(*layer, f); };
    Ramp(layer->X(), 0, 10);
    Ramp(layer->Speed(), 0, 10);
    Ramp(layer->Font()->Size(), 5, 15);
    layer->Text()->Animation(true)->AddKey(4.0, std::string("late"));
    ForEachInTree(*layer, [this](TBaseProperty& p) {
      p.AddChangeNotify(&key, [this](TBaseProperty* s, void*, const std::string& n, std::int32_t) {
        std::string v;
        s->AsString(v);
        log.push_back(n + "=" + v);
      });
    });
    layer->Speed()->AddChangeNotify(&key, [this](TBaseProperty* s, void*, const std::string&, std::int32_t) {
      TDouble& speed = static_cast<TDouble&>(*s);
      const double v = speed.Value();
      if (v == 2.0) {
        Ramp(layer->Opacity(), 0, 100);           // after Speed in the walk
        Ramp(layer->Font()->Color()->Red(), 0, 1);  // before it
      } else if (v == 3.0) {
        page.Animations.Remove(layer->X());
        layer->Font()->Name.clear();
      } else if (v == 5.0 && !reentered) {
        reentered = true;
        Ramp(layer->X(), 50, 60);
        walk(9.0);
        layer->Font()->Name = "Font";
      }
    });
  }
};

TEST_F(FrameWalk, LeavingChildrenOutIsNeverSeen) {
  Scene walked([](TKindLayer& l, double f) { l.SetFrame(f); });
  Scene plain([](TKindLayer& l, double f) { PlainSetFrame(l, f); });
  for (double f : {0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 7.0, 12.0}) {
    walked.walk(f);
    plain.walk(f);
  }
  EXPECT_TRUE(walked.reentered);
  EXPECT_GT(plain.log.size(), 40u);
  EXPECT_EQ(walked.log, plain.log);
}

}  // namespace
}  // namespace qv::test
