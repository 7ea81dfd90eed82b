#include "editor_logic/ObjectListRows.h"

#include <algorithm>

namespace qv {

namespace {

void FillLayer(std::vector<TObjectRow>& Rows, std::vector<const TLayer*>& Path, TLayer* Layer, int Depth) {
  if (Layer == nullptr || std::find(Path.begin(), Path.end(), Layer) != Path.end()) return;
  Rows.push_back({Layer, Layer, Depth, Layer->layerName(), Layer->IconIndex});
  Path.push_back(Layer);
  for (TLayer* child : Layer->Childs) FillLayer(Rows, Path, child, Depth + 1);
  Path.pop_back();
}

}  // namespace

std::vector<TObjectRow> ObjectListRows(TQVSystem& Sys) {
  std::vector<TObjectRow> rows;
  rows.reserve(Sys.Layers.size() + 1);
  rows.push_back({&Sys, nullptr, 0, {}, -1});
  std::vector<const TLayer*> path;
  for (const auto& layer : Sys.Layers) FillLayer(rows, path, layer.get(), 1);
  return rows;
}

}  // namespace qv
