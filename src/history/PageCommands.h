#pragma once
// The editor's commands on the page, each recorded as one step of the history: inserting and
// deleting layers, the z-order and alignment buttons, New Page and Open Project, the work area's
// drags and keys, and any other change of one object (TEdit). Each command ends the grid's gesture
// under way before it changes anything.
#include "composition/QvSystem.h"
#include "history/History.h"
#include "history/Steps.h"
#include "model/BasicTypes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qv {

// Records what an action does to one object of the page (a layer, a property, a group): its state
// when the recording starts and, at Finish, a step when it changed — unless the grid's gesture
// recorded the change already (a cell that pushes an undo element), which then becomes the step.
// With automatic keying on, the step holds the keys the action added to the values it changed;
// the keys a setter added to a value it set again unchanged are taken back first.
class TEdit {
 public:
  // Name empty: the step is named as the grid's gestures are ("Change Opacity of logo").
  TEdit(THistory& H, const TBaseProperty& Object, std::string Name = {}, int MergeId = -1);
  ~TEdit() { Finish(); }
  TEdit(const TEdit&) = delete;
  TEdit& operator=(const TEdit&) = delete;
  void SetName(std::string Name) { fName = std::move(Name); }
  // Pushes the step when the object changed; answers whether it did. Later calls do nothing.
  bool Finish();

 private:
  THistory& fHistory;
  std::optional<TObjectRef> fRef;
  TObjectState fBefore;
  std::string fName;
  int fMergeId;
  std::uint64_t fGestures;
  bool fDone = false;
};

// A layer the insert commands just put on top: "Insert Text000".
void RecordInsertedLayer(THistory& H, const TLayer& Layer);
// Takes the layer out of the stack: "Delete strap".
void DeleteLayer(THistory& H, TLayer& Layer);
// The z-order buttons on a layer: "Bring logo to front", "Send logo to back"; no step when the
// layer is there already.
void BringToFront(THistory& H, TLayer& Layer);
void SendToBack(THistory& H, TLayer& Layer);
// The alignment buttons on the selected layer when it is a text layer (a clock too): "Align
// Text000 right"; answers whether it was one.
bool AlignSelectedText(THistory& H, THTextAlig Value);
bool AlignSelectedText(THistory& H, TVTextAlig Value);
// A new page: the layers go, the page's own tracks go, then Reset sets the page's size and settings
// as a new one has them (automatic keying off); the page has no file and no media folder then. One
// step, "New Page", after which the document is in its saved state.
void NewPage(THistory& H, const std::function<void()>& Reset);
// Reads a project on top of the page (its layers above those there, the page's own values from the
// file), names the document after it and selects the bottom layer: one step, "Open news.QV". A
// page that had no layers is then in its saved state. Throws as TQVSystem::LoadFromFile; what was
// read before the error is still one step.
void OpenProject(THistory& H, const std::string& FileName);
// What OpenProject does, with Read doing the reading; the document is named FileName when Read
// succeeds. The saved state is left as it was.
void ReadOntoPage(THistory& H, const std::string& StepName, const std::function<void()>& Read,
                  const std::string& FileName);

// The work area's mouse and keys with the history: a drag of a layer's body or handle is one
// step ("Move logo", "Resize logo"); arrow-key nudges of one layer in quick succession merge into
// one; Delete removes the selected layer as a step.
class TWorkAreaRecorder {
 public:
  explicit TWorkAreaRecorder(THistory& H) : fHistory(H) {}
  void MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  void MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y, TCursor& Cursor);
  void MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
  void KeyDown(std::uint16_t& Key, TShiftState Shift);

 private:
  THistory& fHistory;
  std::optional<TEdit> fDrag;
  TMouseArea fArea = maBody;
};

}  // namespace qv
