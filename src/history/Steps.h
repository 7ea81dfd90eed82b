#pragma once
// The steps that change the layer stack and the page as a whole. Layers are kept as their
// project text (and their exact state, which the text rounds) and their place in the stack.
#include "history/History.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qv {

class TLayer;

// The project text of one layer block, media paths as the layer holds them.
std::string LayerText(const TLayer& Layer);

// A layer that entered the stack (Inserted) or left it: undoing an insert takes the layer out
// again; undoing a delete makes it again from its project text at its place in the stack, with
// its nested groups and tracks, and then puts back what the text rounds (TObjectState).
class TLayerStep final : public TStep {
 public:
  // Of the layer at Index of Page's stack as it stands now.
  TLayerStep(std::string Name, bool Inserted, const TQVSystem& Page, int Index);
  void Undo(THistory& H) override;
  void Redo(THistory& H) override;
  int SelectAfter(bool Undone) const override { return Undone == fInserted ? kNoLayer : fIndex; }
  const std::string& Text() const { return fText; }

 private:
  void Remove(TQVSystem& Page) const;
  void Make(TQVSystem& Page) const;
  bool fInserted;
  int fIndex;
  std::string fClass;
  std::string fText;
  TObjectState fState;
};

// A layer moved from one place of the stack to another (Bring To Front, Send To Back).
class TLayerMoveStep final : public TStep {
 public:
  TLayerMoveStep(std::string Name, int From, int To) : TStep(std::move(Name)), fFrom(From), fTo(To) {}
  void Undo(THistory& H) override;
  void Redo(THistory& H) override;
  int SelectAfter(bool Undone) const override { return Undone ? fFrom : fTo; }

 private:
  int fFrom, fTo;
};

// The page's own state: the composition's values and tracks, its size, the folder its media paths
// start from and the document's file name.
struct TPageState {
  TObjectState Values;
  std::int32_t Width = 0, Height = 0;
  std::filesystem::path Folder;
  std::string FileName;
  static TPageState Take(const THistory& H);
  void Apply(THistory& H) const;
  friend bool operator==(const TPageState&, const TPageState&) = default;
};

class TPageStep final : public TStep {
 public:
  TPageStep(std::string Name, TPageState Before, TPageState After)
      : TStep(std::move(Name)), fBefore(std::move(Before)), fAfter(std::move(After)) {}
  void Undo(THistory& H) override { fBefore.Apply(H); }
  void Redo(THistory& H) override { fAfter.Apply(H); }
  int SelectAfter(bool) const override { return kNoLayer; }

 private:
  TPageState fBefore;
  TPageState fAfter;
};

// Several steps that the user took as one (Open Project, New Page): redone in order, undone in
// the opposite order.
class TStepGroup final : public TStep {
 public:
  TStepGroup(std::string Name, std::vector<std::unique_ptr<TStep>> Steps, int SelectUndone, int SelectRedone)
      : TStep(std::move(Name)), fSteps(std::move(Steps)), fSelectUndone(SelectUndone), fSelectRedone(SelectRedone) {}
  void Undo(THistory& H) override;
  void Redo(THistory& H) override;
  int SelectAfter(bool Undone) const override { return Undone ? fSelectUndone : fSelectRedone; }

 private:
  std::vector<std::unique_ptr<TStep>> fSteps;
  int fSelectUndone, fSelectRedone;
};

}  // namespace qv
