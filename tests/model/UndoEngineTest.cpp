#include <gtest/gtest.h>

#include "TestClasses.h"
#include "model/UndoEngine.h"

namespace qv::test {
namespace {

std::unique_ptr<TUndoElement> ElementFor(TBaseProperty* p) { return std::make_unique<TPropertyChangedElement>(p); }

TEST(UndoEngine, DropsTheOldestBeyondCapacity) {
  TUndoEngine engine(20);
  TInteger p;
  std::vector<TUndoElement*> pushed;
  for (int i = 0; i < 21; ++i) pushed.push_back(engine.PushUndoAction(ElementFor(&p)));
  ASSERT_EQ(engine.Count(), 20u);
  for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(engine.Element(i), pushed[i + 1]) << i;
}

TEST(UndoEngine, EmptyStackIgnoresPopAndRemove) {
  TUndoEngine engine(3);
  int changes = 0;
  engine.OnChanged = [&](TUndoEngine* sender) {
    EXPECT_EQ(sender, &engine);
    ++changes;
  };
  engine.PopUndoAction();
  engine.RemoveUndoAction();
  EXPECT_EQ(changes, 0);
  TDouble d;
  engine.PushUndoAction(ElementFor(&d));
  engine.RemoveUndoAction();
  engine.PushUndoAction(ElementFor(&d));
  engine.PopUndoAction();
  EXPECT_EQ(changes, 4);
}

TEST(UndoEngine, PopRestoresThroughTheSetter) {
  TUndoEngine engine(20);
  TMinMaxDouble d;
  d.SetMinMax(0, 100);
  d.SetValue(10.0);
  engine.PushUndoAction(ElementFor(&d));  // a gesture pushes before it changes the value
  d.SetValue(12.5);
  ChangeCounter c(&d);
  engine.PopUndoAction();
  EXPECT_EQ(d.Value(), 10.0);
  EXPECT_EQ(c.count, 1);
  EXPECT_EQ(engine.Count(), 0u);

  engine.PushUndoAction(ElementFor(&d));
  d.SetMinMax(0, 5);
  engine.PopUndoAction();
  EXPECT_EQ(d.Value(), 5.0);  // the restored value meets the limits of now
}

TEST(UndoEngine, GestureWithoutChangeLeavesNoElement) {
  TUndoEngine engine(20);
  TDouble d;
  d.SetValue(3.0);
  engine.PushUndoAction(ElementFor(&d));
  d.OldValue = d.Value();
  d.SetValue(4.0);
  d.SetValue(3.0);  // dragged back
  if (d.Value() == d.OldValue) engine.RemoveUndoAction();
  EXPECT_EQ(engine.Count(), 0u);
}

TEST(UndoEngine, TwoTogglesUndoneInTurn) {
  TUndoEngine engine(20);
  TBoolean b;
  for (int i = 0; i < 2; ++i) {
    engine.PushUndoAction(ElementFor(&b));
    b.SetValue(!b.Value());
  }
  EXPECT_EQ(engine.Count(), 2u);
  EXPECT_FALSE(b.Value());
  engine.PopUndoAction();
  EXPECT_TRUE(b.Value());
  engine.PopUndoAction();
  EXPECT_FALSE(b.Value());
}

TEST(UndoEngine, EnumerationChoiceOfTheSameValueRemovesItsElement) {
  TUndoEngine engine(20);
  TEnum<TVTextAlig> e;
  e.SetValue(vaCenter);
  engine.PushUndoAction(ElementFor(&e));  // the menu opens
  e.OldValue = e.Ordinal();
  const std::int32_t chosen = vaCenter;
  if (chosen == e.OldValue) engine.RemoveUndoAction();
  e.SetOrdinal(chosen);
  EXPECT_EQ(engine.Count(), 0u);

  engine.PushUndoAction(ElementFor(&e));
  e.SetValue(vaBottom);
  engine.PopUndoAction();
  EXPECT_EQ(e.Value(), vaCenter);
}

TEST(UndoEngine, ColourSnapshotHoldsFourChannels) {
  TUndoEngine engine(20);
  auto color = Make<TColor4>();
  color->SetVector(0.1, 0.2, 0.3, 0.4);
  auto* e = static_cast<TPropertyChangedElement*>(engine.PushUndoAction(ElementFor(color.get())));
  EXPECT_EQ(e->SnapshotSize(), 32u);
  color->SetWinColor(0xFFFFFF);
  engine.PopUndoAction();
  EXPECT_EQ(color->asVector(), (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
}

TEST(UndoEngine, StringElementRecordsAndRestoresNothing) {
  TUndoEngine engine(20);
  TString s("before");
  auto* e = static_cast<TPropertyChangedElement*>(engine.PushUndoAction(ElementFor(&s)));
  EXPECT_EQ(e->SnapshotSize(), 0u);
  EXPECT_EQ(e->Value(), nullptr);
  s.SetValue("after");
  ChangeCounter c(&s);
  engine.PopUndoAction();
  EXPECT_EQ(s.Value(), "after");
  EXPECT_EQ(c.count, 0);
}

TEST(UndoEngine, ElementOfADestroyedPropertyIsNeverApplied) {
  TUndoEngine engine(20);
  TDouble survivor;
  survivor.SetValue(1.0);
  engine.PushUndoAction(ElementFor(&survivor));
  {
    auto layer = Make<TKindLayer>();  // a deleted layer, with elements about it and its children
    engine.PushUndoAction(ElementFor(layer->Opacity()));
    engine.PushUndoAction(ElementFor(layer->Font()->Color()));
    engine.PushUndoAction(ElementFor(layer.get()));
    auto* e = static_cast<TPropertyChangedElement*>(engine.Element(3));
    EXPECT_TRUE(e->Valid());
  }
  auto* e = static_cast<TPropertyChangedElement*>(engine.Element(3));
  EXPECT_FALSE(e->Valid());
  engine.PopUndoAction();
  engine.PopUndoAction();
  engine.PopUndoAction();
  survivor.SetValue(2.0);
  engine.PopUndoAction();
  EXPECT_EQ(survivor.Value(), 1.0);
  EXPECT_EQ(engine.Count(), 0u);

  // An element made for a property that is already gone records nothing either.
  auto* gone = new TDouble;
  auto element = std::make_unique<TPropertyChangedElement>(gone);
  delete gone;
  engine.PushUndoAction(std::move(element));
  engine.PopUndoAction();
}

TEST(UndoEngine, PushingWhilePoppingKeepsTheStackConsistent) {
  TUndoEngine engine(20);
  TInteger a, b;
  a.SetValue(1);
  engine.PushUndoAction(ElementFor(&a));
  a.SetValue(5);
  // A subscriber that records an element of another property whenever `a` changes.
  a.AddChangeNotify(&engine, [&](TBaseProperty*, void*, const std::string&, std::int32_t) {
    engine.PushUndoAction(ElementFor(&b));
  });
  engine.PopUndoAction();  // restores a = 1, whose subscriber pushes b's element meanwhile
  EXPECT_EQ(a.Value(), 1);
  ASSERT_EQ(engine.Count(), 1u);
  EXPECT_EQ(static_cast<TPropertyChangedElement*>(engine.Element(0))->AObject(), &b);
  a.RemoveChangeNotify(&engine);
}

TEST(UndoEngine, ZeroCapacityKeepsNothing) {
  TUndoEngine engine(0);
  TDouble d;
  EXPECT_EQ(engine.PushUndoAction(ElementFor(&d)), nullptr);
  EXPECT_EQ(engine.Count(), 0u);
}

}  // namespace
}  // namespace qv::test
