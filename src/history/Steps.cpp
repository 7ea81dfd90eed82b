#include "history/Steps.h"

#include "composition/QvSystem.h"
#include "project/ProjectFile.h"

namespace qv {

std::string LayerText(const TLayer& Layer) {
  TProjectTextWriter writer;
  Layer.SaveToStream("\t", writer);
  return writer.Text();
}

TLayerStep::TLayerStep(std::string Name, bool Inserted, const TQVSystem& Page, int Index)
    : TStep(std::move(Name)), fInserted(Inserted), fIndex(Index) {
  const TLayer& layer = *Page.Layers.at(static_cast<std::size_t>(Index));
  fClass = std::string(layer.ClassName());
  fText = LayerText(layer);
  fState = TObjectState::Take(layer);
}

void TLayerStep::Remove(TQVSystem& Page) const {
  if (fIndex < 0 || static_cast<std::size_t>(fIndex) >= Page.Layers.size()) return;
  TLayer* layer = Page.Layers[static_cast<std::size_t>(fIndex)].get();
  if (layer->ClassName() == fClass) Page.DeleteLayer(layer);
}

void TLayerStep::Make(TQVSystem& Page) const {
  const std::size_t before = Page.Layers.size();
  try {
    Page.ReadProjectText(fText, "the layer of \"" + fName + "\"");
  } catch (const std::exception&) {
    // Text this system wrote reads back; should it not, the layer is not made half.
  }
  if (Page.Layers.size() != before + 1) return;
  TLayer* layer = Page.Layers.back().get();
  fState.Apply(*layer);
  Page.MoveLayer(layer, fIndex);
}

void TLayerStep::Undo(THistory& H) {
  if (fInserted) {
    Remove(H.Page());
  } else {
    Make(H.Page());
  }
}

void TLayerStep::Redo(THistory& H) {
  if (fInserted) {
    Make(H.Page());
  } else {
    Remove(H.Page());
  }
}

void TLayerMoveStep::Undo(THistory& H) {
  TQVSystem& page = H.Page();
  if (fTo >= 0 && static_cast<std::size_t>(fTo) < page.Layers.size()) page.MoveLayer(page.Layers[std::size_t(fTo)].get(), fFrom);
}

void TLayerMoveStep::Redo(THistory& H) {
  TQVSystem& page = H.Page();
  if (fFrom >= 0 && static_cast<std::size_t>(fFrom) < page.Layers.size()) page.MoveLayer(page.Layers[std::size_t(fFrom)].get(), fTo);
}

TPageState TPageState::Take(const THistory& H) {
  const TQVSystem& page = H.Page();
  return {TObjectState::Take(page), page.fwidth, page.fheight, page.ProjectFolder, H.FileName()};
}

void TPageState::Apply(THistory& H) const {
  TQVSystem& page = H.Page();
  page.SetPageSize(Width, Height);
  Values.Apply(page);
  page.ProjectFolder = Folder;
  H.SetFileName(FileName);
}

void TStepGroup::Undo(THistory& H) {
  for (auto it = fSteps.rbegin(); it != fSteps.rend(); ++it) (*it)->Undo(H);
}

void TStepGroup::Redo(THistory& H) {
  for (auto& s : fSteps) s->Redo(H);
}

}  // namespace qv
