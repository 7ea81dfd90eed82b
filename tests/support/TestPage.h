#pragma once
// A page for objects made on their own, outside a composition: its animation registry and its
// undo engine. Join makes objects part of it (they can then hold tracks and record gestures);
// declared before them, it outlives them.
#include "animation/AnimationManager.h"
#include "model/BaseLib.h"
#include "model/UndoEngine.h"

namespace qv::test {

struct TestPage {
  TAnimationManager Animations;
  TUndoEngine Undo{TUndoEngine::kStandardCapacity};
  TPageServices Services{&Animations, &Undo};
  template <class... P>
  void Join(P&... Objects) {
    (Objects.AttachPage(&Services), ...);
  }
};

}  // namespace qv::test
