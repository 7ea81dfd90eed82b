// Undo elements about the properties of a layer that the Delete key took away: popping them
// afterwards does nothing (no value is applied anywhere, nothing is notified) and touches no
// freed memory (run under AddressSanitizer in CI).
#include "composition/LayerClasses.h"
#include "composition/QvSystem.h"
#include "composition/TextLayer.h"
#include "model/UndoEngine.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(UndoAfterDelete, ElementsOfADeletedLayerArePoppedWithoutEffect) {
  auto sys = Make<TQVSystem>(768, 576, nullptr, false);
  TLayer& kept = *sys->NewLayerOfClass("TIMAGELAYER");
  auto& doomed = static_cast<TTextLayer&>(*sys->NewLayerOfClass("TTEXTLAYER"));
  kept.SetX(7);

  // What the grid pushes before each gesture: a plain value, a nested container's value, a colour
  // (a container of four channels), the whole layer, and one of the layer that stays.
  ASSERT_NE(sys->UndoEngine(), nullptr);
  TUndoEngine& undo = *sys->UndoEngine();
  undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(&kept.XProperty()));
  undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(&doomed.XProperty()));
  undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(&doomed.Font().FontSizeProperty()));
  undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(&doomed.Font().FontColorProperty()));
  undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(&doomed));
  doomed.SetX(300);
  kept.SetX(9);

  sys->SetSelectedLayer(&doomed);
  std::uint16_t key = VK_DELETE;
  sys->KeyDown(key, 0);
  ASSERT_EQ(sys->Layers.size(), 1u);
  ASSERT_EQ(sys->Layers[0].get(), &kept);

  int notified = 0;
  sys->AddChangeNotify(&notified, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++notified; });
  for (int i = 0; i < 4; ++i) {
    auto* e = dynamic_cast<TPropertyChangedElement*>(undo.Element(undo.Count() - 1));
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->Valid()) << i;
    undo.PopUndoAction();
  }
  EXPECT_EQ(notified, 0);
  EXPECT_EQ(kept.X(), 9);

  // The element of the layer that stays still works.
  ASSERT_EQ(undo.Count(), 1u);
  undo.PopUndoAction();
  EXPECT_EQ(kept.X(), 7);
  EXPECT_EQ(undo.Count(), 0u);
  sys->RemoveChangeNotify(&notified);
}

// The same when the whole composition goes (closing the window) with elements still stacked.
TEST(UndoAfterDelete, ElementsOutliveTheComposition) {
  TUndoEngine undo(20);
  {
    auto sys = Make<TQVSystem>(768, 576, nullptr, false);
    TLayer& l = *sys->NewLayerOfClass("TCLOCKLAYER");
    undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(&l.OpacityProperty()));
    undo.PushUndoAction(std::make_unique<TPropertyChangedElement>(&sys->DurationProperty()));
  }
  undo.PopUndoAction();
  undo.PopUndoAction();
  EXPECT_EQ(undo.Count(), 0u);
}

}  // namespace
}  // namespace qv
