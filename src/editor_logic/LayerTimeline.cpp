#include "editor_logic/LayerTimeline.h"

#include <algorithm>
#include <map>

namespace qv {

void TLayerTimelineModel::Rebuild(TQVSystem& Sys) {
  fSys = &Sys;
  std::vector<TTimelineRow> old = std::move(fRows);
  const std::size_t selectedBefore = fSelected.size();
  fRows.clear();
  std::set<const TLayer*> present;
  std::set<TKeyRef> keys;  // every key shown, to prune the selection
  for (auto it = Sys.Layers.rbegin(); it != Sys.Layers.rend(); ++it) {
    TLayer* layer = it->get();
    present.insert(layer);
    std::vector<TBaseProperty*> animated;
    AnimatedLeaves(*layer, animated);
    TTimelineRow row;
    row.Layer = layer;
    row.Name = layer->layerName();
    row.Icon = layer->IconIndex;
    row.Openable = !animated.empty();
    row.Open = row.Openable && fOpen.contains(layer);
    row.Selected = Sys._SelectedLayer() == layer;
    row.In = layer->LayerIN();
    row.Duration = layer->Duration();
    std::vector<TTimelineRow> properties;
    for (TBaseProperty* p : animated) {
      TTimelineRow prow;
      prow.Layer = layer;
      prow.Property = p;
      prow.Name = DisplayName(*p);
      prow.Icon = layer->IconIndex;
      prow.Selected = row.Selected;
      prow.Keys = KeyFrames(*p);
      for (const std::int32_t f : prow.Keys) {
        row.Keys.push_back(f);
        keys.insert({p, f});
      }
      if (row.Open) properties.push_back(std::move(prow));
    }
    std::sort(row.Keys.begin(), row.Keys.end());
    row.Keys.erase(std::unique(row.Keys.begin(), row.Keys.end()), row.Keys.end());
    fRows.push_back(std::move(row));
    for (TTimelineRow& p : properties) fRows.push_back(std::move(p));
  }
  std::erase_if(fOpen, [&](const TLayer* l) { return !present.contains(l); });
  std::erase_if(fSelected, [&](const TKeyRef& k) { return !keys.contains(k); });
  if (fRows != old || fSelected.size() != selectedBefore) AskRepaint();
}

void TLayerTimelineModel::SetOpen(TLayer* Layer, bool Open) {
  if (Open)
    fOpen.insert(Layer);
  else
    fOpen.erase(Layer);
  if (fSys != nullptr) Rebuild(*fSys);
}

std::int32_t TLayerTimelineModel::RowAt(std::int32_t Y) const {
  const std::int32_t y = Y + fScrollY;
  if (y < 0) return -1;
  const std::int32_t row = y / kRowHeight;
  return row < static_cast<std::int32_t>(fRows.size()) ? row : -1;
}

std::int32_t TLayerTimelineModel::RowOf(const TLayer* Layer) const {
  for (std::size_t i = 0; i < fRows.size(); ++i)
    if (fRows[i].IsLayer() && fRows[i].Layer == Layer) return static_cast<std::int32_t>(i);
  return -1;
}

std::pair<std::int32_t, std::int32_t> TLayerTimelineModel::DraggedTiming(const TTimelineRow& Row,
                                                                         std::int32_t Delta) const {
  const std::int64_t in = Row.In;
  const std::int64_t duration = Row.Duration;
  // An in-point a file put before 0 may stay there; a drag takes none below 0.
  const std::int64_t lowest = std::min<std::int64_t>(in, 0);
  switch (fMode) {
    case TMode::mdBar:
      return {static_cast<std::int32_t>(std::max(lowest, in + Delta)), Row.Duration};
    case TMode::mdBarStart: {
      const std::int64_t out = in + duration;
      const std::int64_t newIn = std::clamp(in + Delta, lowest, std::max(lowest, out));
      return {static_cast<std::int32_t>(newIn), static_cast<std::int32_t>(std::max<std::int64_t>(out - newIn, 0))};
    }
    case TMode::mdBarEnd:
      return {Row.In, static_cast<std::int32_t>(std::clamp<std::int64_t>(duration + Delta, 0, INT32_MAX))};
    default:
      return {Row.In, Row.Duration};
  }
}

TLayerTimelineModel::TBar TLayerTimelineModel::BarOf(std::int32_t Row) const {
  const TTimelineRow& row = fRows[static_cast<std::size_t>(Row)];
  std::int32_t in = row.In;
  std::int32_t duration = row.Duration;
  if (fMode == TMode::mdBar || fMode == TMode::mdBarStart || fMode == TMode::mdBarEnd) {
    if (row.IsLayer() && row.Layer == fDragLayer) std::tie(in, duration) = DraggedTiming(row, fDelta);
  }
  // The layer shows from its in-point to in + Duration, both included.
  const std::int64_t after = std::int64_t(in) + duration + 1;
  return {in, duration, XOfFrame(in), XOfFrame(static_cast<std::int32_t>(std::min<std::int64_t>(after, INT32_MAX)))};
}

std::vector<TLayerTimelineModel::TDiamond> TLayerTimelineModel::DiamondsOf(std::int32_t Row) const {
  const TTimelineRow& row = fRows[static_cast<std::size_t>(Row)];
  const std::int32_t delta = fMode == TMode::mdKeys ? fDelta : 0;
  std::map<std::int32_t, bool> diamonds;  // frame -> selected
  for (const std::int32_t f : row.Keys) {
    std::size_t selected = 0;
    const std::vector<TKeyRef> refs = KeysAt(Row, f);
    for (const TKeyRef& k : refs) selected += fSelected.contains(k) ? 1 : 0;
    // Selected keys show where a drag would put them; the others of a layer's frame stay.
    if (selected > 0) diamonds[f + delta] = true;
    if (selected < refs.size() || refs.empty()) diamonds.try_emplace(f, false);
  }
  std::vector<TDiamond> out;
  out.reserve(diamonds.size());
  for (const auto& [f, selected] : diamonds) out.push_back({f, XOfFrame(f), selected});
  return out;
}

std::optional<std::array<std::int32_t, 4>> TLayerTimelineModel::RubberBand() const {
  if (fMode != TMode::mdBand) return std::nullopt;
  return std::array<std::int32_t, 4>{std::min(fDownX, fX), std::min(fDownY, fY), std::max(fDownX, fX),
                                     std::max(fDownY, fY)};
}

TTimelineHit TLayerTimelineModel::HitTest(std::int32_t X, std::int32_t Y) const {
  TTimelineHit hit;
  hit.Row = RowAt(Y);
  if (hit.Row < 0) return hit;
  const TTimelineRow& row = fRows[static_cast<std::size_t>(hit.Row)];
  if (X < fHeaderWidth) {
    hit.Part = row.IsLayer() && row.Openable && X < kExpanderWidth ? TTimelinePart::tpExpander : TTimelinePart::tpName;
    return hit;
  }
  const std::int32_t top = RowTop(hit.Row);
  const bool inBar = row.IsLayer() && Y >= top + kBarInset && Y < top + kRowHeight - kBarInset;
  const TBar bar = row.IsLayer() ? BarOf(hit.Row) : TBar{};
  // Just outside the bar, its ends win over a diamond sitting on them.
  if (inBar && X < bar.Left && X >= bar.Left - kGrip) {
    hit.Part = TTimelinePart::tpBarStart;
    return hit;
  }
  if (inBar && X > bar.Right && X <= bar.Right + kGrip) {
    hit.Part = TTimelinePart::tpBarEnd;
    return hit;
  }
  // The nearest diamond within reach.
  std::int32_t best = kKeyHalf + 1;
  for (const std::int32_t f : row.Keys) {
    const std::int32_t d = std::abs(XOfFrame(f) - X);
    if (d < best) {
      best = d;
      hit.Part = TTimelinePart::tpKey;
      hit.Frame = f;
    }
  }
  if (hit.Part == TTimelinePart::tpKey) return hit;
  if (inBar && X >= bar.Left && X <= bar.Right) {
    if (X <= bar.Left + kGrip && bar.Right - bar.Left > 3 * kGrip)
      hit.Part = TTimelinePart::tpBarStart;
    else if (X >= bar.Right - kGrip)
      hit.Part = TTimelinePart::tpBarEnd;
    else
      hit.Part = TTimelinePart::tpBar;
    return hit;
  }
  hit.Part = TTimelinePart::tpTrack;
  return hit;
}

std::vector<TKeyRef> TLayerTimelineModel::KeysAt(std::int32_t Row, std::int32_t Frame) const {
  std::vector<TKeyRef> refs;
  if (Row < 0 || Row >= static_cast<std::int32_t>(fRows.size())) return refs;
  const TTimelineRow& row = fRows[static_cast<std::size_t>(Row)];
  if (!row.IsLayer()) {
    if (std::binary_search(row.Keys.begin(), row.Keys.end(), Frame)) refs.push_back({row.Property, Frame});
    return refs;
  }
  std::vector<TBaseProperty*> animated;
  AnimatedLeaves(*row.Layer, animated);
  for (TBaseProperty* p : animated)
    if (p->Animation(false)->HasKeyAt(Frame)) refs.push_back({p, Frame});
  return refs;
}

void TLayerTimelineModel::SelectKeys(const std::vector<TKeyRef>& Keys, bool Extend) {
  if (!Extend) fSelected.clear();
  fSelected.insert(Keys.begin(), Keys.end());
  AskRepaint();
}

void TLayerTimelineModel::ClearKeySelection() {
  fSelected.clear();
  AskRepaint();
}

std::unique_ptr<TStep> TLayerTimelineModel::DeleteSelectedKeys() {
  if (fSys == nullptr || fSelected.empty()) return nullptr;
  const std::vector<TKeyRef> keys(fSelected.begin(), fSelected.end());
  fSelected.clear();
  return DeleteKeysStep(*fSys, keys);
}

void TLayerTimelineModel::ButtonDown(std::int32_t X, std::int32_t Y, bool Extend) {
  const TTimelineHit hit = HitTest(X, Y);
  fDownX = fX = X;
  fDownY = fY = Y;
  fDelta = 0;
  fMode = TMode::mdNone;
  if (hit.Row < 0) {
    if (!Extend) ClearKeySelection();
    return;
  }
  TTimelineRow& row = fRows[static_cast<std::size_t>(hit.Row)];
  TLayer* layer = row.Layer;
  if (hit.Part == TTimelinePart::tpExpander) {
    SetOpen(layer, !row.Open);
    return;
  }
  if (!row.Selected && OnSelectLayer) OnSelectLayer(layer);
  fDragLayer = layer;
  fDownFrame = FrameAtX(X);
  switch (hit.Part) {
    case TTimelinePart::tpKey: {
      const std::vector<TKeyRef> refs = KeysAt(hit.Row, hit.Frame);
      const bool all = std::all_of(refs.begin(), refs.end(), [&](const TKeyRef& k) { return fSelected.contains(k); });
      if (Extend && all) {
        for (const TKeyRef& k : refs) fSelected.erase(k);
      } else if (Extend || !all) {
        SelectKeys(refs, Extend);
      }
      // Keys are dragged from the diamond's own frame, so they land on whole frames.
      fDownFrame = hit.Frame;
      fMode = fSelected.empty() ? TMode::mdNone : TMode::mdKeys;
      break;
    }
    case TTimelinePart::tpBar:
      fMode = TMode::mdBar;
      break;
    case TTimelinePart::tpBarStart:
      fMode = TMode::mdBarStart;
      break;
    case TTimelinePart::tpBarEnd:
      fMode = TMode::mdBarEnd;
      break;
    case TTimelinePart::tpTrack:
      fMode = TMode::mdBand;
      if (!Extend) fSelected.clear();
      fBandBase = fSelected;
      break;
    default:
      break;
  }
  AskRepaint();
}

void TLayerTimelineModel::BandSelect() {
  fSelected = fBandBase;
  const auto band = *RubberBand();
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(fRows.size()); ++r) {
    const std::int32_t top = RowTop(r);
    const std::int32_t mid = top + kRowHeight / 2;
    if (mid < band[1] || mid > band[3]) continue;
    for (const std::int32_t f : fRows[static_cast<std::size_t>(r)].Keys) {
      const std::int32_t x = XOfFrame(f);
      if (x < band[0] || x > band[2]) continue;
      for (const TKeyRef& k : KeysAt(r, f)) fSelected.insert(k);
    }
  }
}

void TLayerTimelineModel::MouseMove(std::int32_t X, std::int32_t Y) {
  fX = X;
  fY = Y;
  switch (fMode) {
    case TMode::mdNone:
      return;
    case TMode::mdKeys: {
      const std::vector<TKeyRef> keys(fSelected.begin(), fSelected.end());
      fDelta = AllowedKeyShift(keys, FrameAtX(X) - fDownFrame);
      break;
    }
    case TMode::mdBand:
      BandSelect();
      break;
    default:
      fDelta = FrameAtX(X) - fDownFrame;
      break;
  }
  AskRepaint();
}

void TLayerTimelineModel::ButtonUp() {
  const TMode mode = fMode;
  const std::int32_t delta = fDelta;
  fMode = TMode::mdNone;
  fDelta = 0;
  std::unique_ptr<TStep> step;
  if (fSys != nullptr && delta != 0) {
    if (mode == TMode::mdKeys) {
      const std::vector<TKeyRef> keys(fSelected.begin(), fSelected.end());
      step = MoveKeysStep(*fSys, keys, delta);
      if (step) {
        // The selection follows its keys.
        std::set<TKeyRef> moved;
        for (const TKeyRef& k : keys) moved.insert({k.Property, k.Frame + delta});
        fSelected = std::move(moved);
      }
    } else if (mode == TMode::mdBar || mode == TMode::mdBarStart || mode == TMode::mdBarEnd) {
      fMode = mode;
      const std::int32_t row = RowOf(fDragLayer);
      if (row >= 0) {
        const auto [in, duration] = DraggedTiming(fRows[static_cast<std::size_t>(row)], delta);
        step = LayerTimingStep(*fSys, *fRows[static_cast<std::size_t>(row)].Layer, in, duration);
      }
      fMode = TMode::mdNone;
    }
  }
  fDragLayer = nullptr;
  if (step && OnStep) OnStep(std::move(step));
  AskRepaint();
}

void TLayerTimelineModel::CaptureLost() {
  if (fMode == TMode::mdBand) fSelected = fBandBase;
  fMode = TMode::mdNone;
  fDelta = 0;
  fDragLayer = nullptr;
  AskRepaint();
}

}  // namespace qv
