#include "editor_logic/Commands.h"

#include "composition/ClockLayer.h"
#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"
#include "composition/TextLayer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace qv {

namespace {

constexpr TInsertCommand kInsertCommands[] = {
    {TLayerKind::lkImage, "Insert Image", "img", 0, false, true},
    {TLayerKind::lkSequence, "Insert Image Sequence", "Multi", 1, true, true},
    {TLayerKind::lkText, "Insert Text", "Text", 2, true, false},
    {TLayerKind::lkRoll, "Insert rolling Text", "Roll", 3, true, false},
    {TLayerKind::lkClock, "", "Clock", 4, true, false},
};

bool NameTaken(const TQVSystem& Sys, const std::string& Name) {
  return std::any_of(Sys.Layers.begin(), Sys.Layers.end(),
                     [&](const auto& layer) { return layer->layerName() == Name; });
}

TLayer& MakeLayer(TQVSystem& Sys, TLayerKind Kind, const std::string& Source) {
  switch (Kind) {
    case TLayerKind::lkImage: {
      TImageLayer& l = Sys.NewLayer<TImageLayer>();
      l.SetFileName(Source);
      return l;
    }
    case TLayerKind::lkSequence: {
      TMultiImageLayer& l = Sys.NewLayer<TMultiImageLayer>();
      l.SetDirectory(Source);
      return l;
    }
    case TLayerKind::lkText:
      return Sys.NewLayer<TTextLayer>();
    case TLayerKind::lkRoll: {
      TRollLayer& l = Sys.NewLayer<TRollLayer>();
      if (!Source.empty()) l.SetTextFile(Source);
      return l;
    }
    case TLayerKind::lkClock:
      break;
  }
  return Sys.NewLayer<TClockLayer>();
}

TTextLayer* SelectedText(const TQVSystem& Sys) { return dynamic_cast<TTextLayer*>(Sys._SelectedLayer()); }

}  // namespace

std::string UniqueLayerName(const TQVSystem& Sys, std::string_view Prefix) {
  for (std::uint64_t n = 0;; ++n) {
    std::string digits = std::to_string(n);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    std::string candidate = std::string(Prefix) + digits;
    if (!NameTaken(Sys, candidate)) return candidate;
  }
}

std::string ProjectSaveName(const std::string& Chosen) {
  std::string ext = std::filesystem::path(Chosen).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return ext == ".QV" ? Chosen : Chosen + ".QV";
}

std::span<const TInsertCommand> InsertCommands() { return kInsertCommands; }

const TInsertCommand& InsertCommand(TLayerKind Kind) {
  for (const TInsertCommand& c : kInsertCommands) {
    if (c.Kind == Kind) return c;
  }
  return kInsertCommands[0];
}

TLayer& InsertLayer(TQVSystem& Sys, TLayerKind Kind, const std::string& Source) {
  const TInsertCommand& cmd = InsertCommand(Kind);
  TLayer& layer = MakeLayer(Sys, Kind, Source);
  layer.SetlayerName(UniqueLayerName(Sys, cmd.Prefix));
  layer.IconIndex = cmd.IconIndex;
  if (cmd.SelectsNewLayer) Sys.SetSelectedLayer(&layer);
  return layer;
}

std::int32_t LastFrameFor(const TQVSystem& Sys, std::int32_t Current) {
  std::int32_t maximum = Current;
  for (const auto& layer : Sys.Layers) {
    if (const auto* seq = dynamic_cast<const TMultiImageLayer*>(layer.get()); seq != nullptr && seq->FrameCount() > 0) {
      maximum = std::max(maximum, static_cast<std::int32_t>(seq->FrameCount()) - 1);
    }
  }
  return maximum;
}

std::span<const TPageSize> NewPageSizes() {
  static constexpr TPageSize kSizes[] = {{768, 576, "768 × 576 (SD)"},
                                         {1280, 720, "1280 × 720 (HD 720)"},
                                         {1920, 1080, "1920 × 1080 (HD 1080)"},
                                         {3840, 2160, "3840 × 2160 (UHD)"}};
  return kSizes;
}

void ResetToNewPage(TQVSystem& Sys, std::int32_t Width, std::int32_t Height) {
  Sys.SetSelectedLayer(nullptr);
  while (!Sys.Layers.empty()) Sys.DeleteLayer(Sys.Layers.back().get());
  Sys.SetShowTime(stAllClip);
  Sys.SetTime(0.0);
  Sys.SetDurationType(dtFromComposition);
  Sys.SetDuration(3.0);
  Sys.frame = 0;
  Sys.SetPageSize(Width, Height);
}

void OpenProject(TQVSystem& Sys, const std::string& FileName) {
  Sys.LoadFromFile(FileName);
  if (!Sys.Layers.empty()) Sys.SetSelectedLayer(Sys.Layers.front().get());
}

bool AlignSelectedText(TQVSystem& Sys, THTextAlig Value) {
  TTextLayer* text = SelectedText(Sys);
  if (text == nullptr) return false;
  text->SetHorizontalAlignment(Value);
  return true;
}

bool AlignSelectedText(TQVSystem& Sys, TVTextAlig Value) {
  TTextLayer* text = SelectedText(Sys);
  if (text == nullptr) return false;
  text->SetVerticalAlignment(Value);
  return true;
}

void BringSelectedToFront(TQVSystem& Sys) {
  if (TLayer* l = Sys._SelectedLayer()) Sys.BringToFront(l);
}

void SendSelectedToBack(TQVSystem& Sys) {
  if (TLayer* l = Sys._SelectedLayer()) Sys.SendToBack(l);
}

}  // namespace qv
