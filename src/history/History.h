#pragma once
// The history of the document shown by the editor: one list of steps that can each be undone and
// redone, an index between the steps done and the steps that can be redone, the state that was
// last saved (the unsaved-changes marker) and the name of the document's file.
//
// The page's undo engine is part of it. The grid pushes an element onto the engine at the start
// of each gesture (and takes it back when the gesture changed nothing); the history watches the
// engine and turns every element that stays into a step: undoing that step pops the element, so
// it restores what the element recorded, through the property's setter, and then puts back what
// the element does not carry (a string's text, the property's tracks). Redoing pushes a new
// element for the property, so the engine keeps holding the elements of the steps done, newest
// last, up to its capacity.
//
// Everything else that changes the document records itself as a step (see PageCommands.h): the
// history never looks at the page to find out what changed.
#include "history/ObjectRef.h"
#include "history/ObjectState.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace qv {

class TQVSystem;
class TTickSource;
class TUndoElement;
class TUndoEngine;
class THistory;

// One change of the document that can take itself back and make itself again. A step keeps what
// it needs to do both (values, tracks, a layer's project text, places in the stack), never a
// pointer to an object of the page.
class TStep {
 public:
  static constexpr int kKeepSelection = -2;
  static constexpr int kNoLayer = -1;

  explicit TStep(std::string Name) : fName(std::move(Name)) {}
  virtual ~TStep() = default;
  TStep(const TStep&) = delete;
  TStep& operator=(const TStep&) = delete;

  // What the Edit menu calls it: "Move logo", "Delete strap".
  const std::string& Name() const { return fName; }
  virtual void Undo(THistory& H) = 0;
  virtual void Redo(THistory& H) = 0;
  // Steps that may absorb the next one have an Id of 0 or more; MergeWith takes Next into this
  // step (this step then redoes both and undoes both) and answers whether it did.
  virtual int Id() const { return -1; }
  virtual bool MergeWith(const TStep& Next) { return false; }
  // The layer to select once the step is undone (Undone) or redone: its index in the stack,
  // kNoLayer (nothing selected: the grid shows the page), or kKeepSelection.
  virtual int SelectAfter(bool Undone) const { return kKeepSelection; }

  // The history's tick count when the step was pushed (or last merged into).
  std::uint32_t At = 0;

 protected:
  std::string fName;
};

// A change of one object of the page, kept as its state before and after (TObjectState).
class TObjectStep : public TStep {
 public:
  // Nudges of one layer pushed less than this many milliseconds apart merge into one step.
  static constexpr std::uint32_t kMergeWindowMs = 1000;
  static constexpr int kNudgeId = 1;

  TObjectStep(std::string Name, TObjectRef Ref, TObjectState Before, TObjectState After, int MergeId = -1)
      : TStep(std::move(Name)), fRef(std::move(Ref)), fBefore(std::move(Before)), fAfter(std::move(After)),
        fMergeId(MergeId) {}
  void Undo(THistory& H) override;
  void Redo(THistory& H) override;
  int Id() const override { return fMergeId; }
  bool MergeWith(const TStep& Next) override;
  int SelectAfter(bool Undone) const override { return fRef.Layer >= 0 ? fRef.Layer : kNoLayer; }

  const TObjectRef& Ref() const { return fRef; }
  const TObjectState& Before() const { return fBefore; }
  const TObjectState& After() const { return fAfter; }
  void SetAfter(TObjectState After) { fAfter = std::move(After); }

 protected:
  TObjectRef fRef;
  TObjectState fBefore;
  TObjectState fAfter;
  int fMergeId;
};

// A grid gesture: a TObjectStep whose undo pops the engine's element for it.
class TPropertyEditStep final : public TObjectStep {
 public:
  TPropertyEditStep(std::string Name, TObjectRef Ref, TObjectState Before, TUndoElement* Element)
      : TObjectStep(std::move(Name), std::move(Ref), std::move(Before), TObjectState()), fElement(Element) {}
  void Undo(THistory& H) override;
  void Redo(THistory& H) override;
  // The engine's element of this step while it is in the engine; none after it left.
  TUndoElement* Element() const { return fElement; }

 private:
  friend class THistory;
  TUndoElement* fElement;
};

class THistory {
 public:
  // Takes over the page's undo engine's OnChanged (and gives it back when destroyed); Clock
  // dates the steps (the merging of nudges). Both must outlive the history.
  THistory(TQVSystem& Page, TTickSource& Clock);
  ~THistory();
  THistory(const THistory&) = delete;
  THistory& operator=(const THistory&) = delete;

  TQVSystem& Page() const { return fPage; }
  TUndoEngine& Engine() const { return fEngine; }

  // A change already made: it becomes the newest step (the steps that could be redone are
  // dropped), or merges into the newest step when both allow it and the newest is not the saved
  // state. Ignored while a step is being undone or redone.
  void Push(std::unique_ptr<TStep> Step);
  // A change not made yet: Step's Redo makes it (automatic keying off), then it is pushed as Push
  // pushes (the way QUndoStack::push takes a command). Commands that are steps of their own, such
  // as key commands, come in this way.
  void Do(std::unique_ptr<TStep> Step);
  bool CanUndo() const { return Index() > 0 || fPending != nullptr; }
  bool CanRedo() const { return fPending == nullptr && fIndex < fSteps.size(); }
  // The names of the step Undo and Redo would take: empty when there is none.
  std::string UndoName() const;
  std::string RedoName() const;
  // Takes back the newest step done (after ending the grid's gesture); selects the layer the step
  // changed. Automatic keying is off meanwhile, so no key is added.
  void Undo();
  void Redo();
  // The steps, oldest first, and how many of them are done.
  std::size_t Count() const { return fSteps.size(); }
  std::size_t Index() const { return fIndex; }
  const TStep& Step(std::size_t I) const { return *fSteps[I]; }
  // Forgets every step (a document of its own begins): the document is then in its saved state.
  void Clear();
  // At most this many steps are kept; the oldest go first (0: no limit, the default).
  void SetUndoLimit(std::size_t Limit);

  // Whether the document stands as it was last saved (or opened): undoing back to that state
  // makes it clean again.
  bool IsClean() const { return fPending == nullptr && fClean == static_cast<std::int64_t>(fIndex); }
  // The document as it stands now is its saved state.
  void SetClean();
  // Grows with every step pushed or merged, every undo and every redo.
  std::uint64_t Changes() const { return fChanges; }

  // The file the document was opened from or last saved as; empty for a new page.
  const std::string& FileName() const { return fFileName; }
  void SetFileName(std::string FileName);

  // Ends the grid's gesture under way: its element becomes a step when the property changed (the
  // history does this itself before anything else happens to it; the grid calls it when a
  // gesture ends, so the Edit menu and the title follow at once).
  void Settle();
  // Counts the grid's gestures that were opened since the history began.
  std::uint64_t GesturesOpened() const { return fGestures; }

  // Whether a step is being undone or redone (changes made then are no steps of their own).
  bool Applying() const { return fApplying; }

  // Called after every change of the steps, the index, the saved state or the file name.
  std::function<void()> OnChanged;

 private:
  friend class TPropertyEditStep;
  class TApplying;
  void EngineChanged();
  void OpenGesture(TUndoElement* Element);
  void PushSettled(std::unique_ptr<TStep> Step);
  void DropStep(std::unique_ptr<TStep>& Step);
  void BindElement(TPropertyEditStep* Step, TUndoElement* Element);
  void Select(int Layer);
  void Changed();

  TQVSystem& fPage;
  TUndoEngine& fEngine;
  TTickSource& fClock;
  std::vector<std::unique_ptr<TStep>> fSteps;
  std::size_t fIndex = 0;
  std::int64_t fClean = 0;  // the index of the saved state; -1 when no index leads back to it
  std::size_t fLimit = 0;
  std::uint64_t fChanges = 0;
  std::uint64_t fGestures = 0;
  std::string fFileName;
  bool fApplying = false;
  std::unique_ptr<TPropertyEditStep> fPending;  // the grid's gesture under way
  std::vector<const TUndoElement*> fMirror;     // the engine's elements as last seen
  std::unordered_map<const TUndoElement*, TPropertyEditStep*> fElementSteps;
};

}  // namespace qv
