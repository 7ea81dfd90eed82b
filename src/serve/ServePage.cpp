#include "serve/ServePage.h"

#include "animation/AnimationManager.h"
#include "batch/BatchRows.h"
#include "composition/ImageLayers.h"
#include "composition/RollLayer.h"
#include "model/BasicTypes.h"
#include "platform/RichEdit.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qv::serve {

namespace {

// At most this far into a page the preview goes looking for the end of its intro (10 s).
constexpr int kLongestIntro = 250;

bool NamesAFile(const TBaseProperty& p) {
  return dynamic_cast<const TImageFileName*>(&p) != nullptr || dynamic_cast<const TDirectory*>(&p) != nullptr ||
         dynamic_cast<const TTextFile*>(&p) != nullptr;
}

// The last key of every track under P that holds its end (tracks that repeat have no end).
void LastKeys(const TBaseProperty& p, double& last) {
  if (const TAnimRec* rec = p.AnimRecord()) {
    for (std::size_t slot = 0; slot < rec->AnimationList.size(); ++slot) {
      const Tkeys* track = rec->AnimationList[slot].get();
      if (track == nullptr || track->Foutat != atConstant) continue;
      for (int k = 0; k < track->Count(); ++k) last = std::max(last, track->key(k)->fframe);
    }
  }
  if (const auto* container = dynamic_cast<const TCustomContainerObject*>(&p)) {
    for (const auto& child : container->Properties()) LastKeys(*child, last);
  }
}

}  // namespace

std::string FieldProblem(const TQVSystem& page, const std::string& name, const std::string& value,
                         const TFolderGuard& guard, bool* outside) {
  const std::vector<TBatchColumn> columns = ClassifyColumns({name}, page, {});
  const TBatchColumn& c = columns.front();
  if (c.Kind == TColumnKind::ckMeta || c.Kind == TColumnKind::ckNextMeta) return {};
  if (c.Kind != TColumnKind::ckProperty) {
    // The batch's words for the two faults of its own are about a table's columns.
    if (name.find('.') == std::string::npos)
      return "field \"" + name + "\": neither Meta1..Meta4, NextMeta1..NextMeta4 nor <layerName>.<property>";
    if (c.Layer < 0 && c.Problem.find("more than one") != 0)
      return "field \"" + name + "\": the page has no layer named as the field starts";
    return "field \"" + name + "\": " + c.Problem;
  }
  std::string problem;
  TBaseProperty* p = FindColumnProperty(page, c, &problem);
  if (p == nullptr) return "field \"" + name + "\": " + problem;
  if (NamesAFile(*p)) {
    if (value.empty()) return {};
    if (!guard.Resolve(value, problem)) {
      if (outside != nullptr) *outside = true;
      return "field \"" + name + "\": " + problem;
    }
    return {};
  }
  TString carrier;
  carrier.SetValue(value);
  if (!p->TryGetValueFrom(&carrier)) return "field \"" + name + "\": \"" + value + "\" is not a value it takes";
  return {};
}

TServePage::TServePage(const TPageTools& tools) : fTools(tools) {
  if (fTools.Time) fFixedTime = std::make_unique<TFixedTimeOfDay>(*fTools.Time);
  if (fTools.MakeRichEdit) fRichEdit = fTools.MakeRichEdit();
  TCompositionContext context;
  context.TextRenderer = fTools.Text;
  context.RichEdit = fRichEdit.get();
  context.Ticks = &fTicks;
  context.TimeOfDay = fFixedTime ? static_cast<TTimeOfDaySource*>(fFixedTime.get()) : &fSystemTime;
  // No registry nor undo engine given: the page keeps its own.
  fSys = Make<TQVSystem>(TQVSystem::kStandardWidth, TQVSystem::kStandardHeight, context, true);
  fSys->OnMediaProblem = [this](const std::string& message) { fWarnings.push_back(message); };
  fFrames = std::make_unique<video::TFrameRenderer>(*fSys, fTicks, fFixedTime.get());
}

TServePage::~TServePage() {
  // The crawls' workers stop with their layers, before the clocks and engines they read go.
  fFrames.reset();
  fSys.reset();
}

void TServePage::Load(const std::filesystem::path& file, const TFieldList& fields, const TFolderGuard& guard) {
  fSys->LoadFromFile(file.string());
  std::vector<std::string> names, values;
  std::string problems;
  for (const auto& [name, value] : fields) {
    if (const std::string p = FieldProblem(*fSys, name, value, guard); !p.empty()) {
      problems += problems.empty() ? p : "; " + p;
      continue;
    }
    names.push_back(name);
    values.push_back(value);
  }
  if (!problems.empty()) throw std::runtime_error(problems);
  std::vector<TBatchColumn> columns = ClassifyColumns(names, *fSys, {});
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].Kind != TColumnKind::ckProperty || values[i].empty()) continue;
    if (const TBaseProperty* p = FindColumnProperty(*fSys, columns[i]); p != nullptr && NamesAFile(*p)) {
      std::string ignored;
      values[i] = guard.Resolve(values[i], ignored)->string();  // checked above
    }
  }
  TString carrier;
  const std::vector<std::string> refused = ApplyRow(*fSys, columns, values, carrier);
  if (!refused.empty()) {
    std::string all;
    for (const std::string& r : refused) all += all.empty() ? r : "; " + r;
    throw std::runtime_error(all);
  }
  fFrames->Prepare();
}

int TServePage::PreviewFrame() const {
  double last = 0;
  for (const auto& layer : fSys->Layers) {
    LastKeys(*layer, last);
    if (const auto* sequence = dynamic_cast<const TMultiImageLayer*>(layer.get()); sequence && sequence->Loop())
      last = std::max(last, double(sequence->LayerIN()) + sequence->INFrames());
  }
  return static_cast<int>(std::clamp(std::ceil(last), 0.0, double(kLongestIntro)));
}

const TmemoryBitmap& TServePage::Compose(int frame) {
  fFrames->Compose(frame);
  // Composing leaves the last layer's opacity as the factor, which would weigh the whole picture
  // when it is blended onto the program.
  fSys->work->SetFactor(255);
  return *fSys->work;
}

const TmemoryBitmap& TServePage::Preview() {
  const TmemoryBitmap& picture = Compose(PreviewFrame());
  Rewind();
  return picture;
}

void TServePage::Rewind() {
  fFrames->Restart();
  if (fTools.Time) *fFixedTime = TFixedTimeOfDay(*fTools.Time);
  fSys->lasttick = fTicks.TickCount();
  // Crawls start over with the strips they hold, or render them again when those are stale.
  for (TRollLayer* roll : fFrames->Crawls()) {
    if (!roll->Rewind()) roll->CloseObject();
  }
  PrepareStrips(fFrames->Crawls());
}

int TServePage::StartOutro(int frame) {
  int longest = 0;
  for (const auto& layer : fSys->Layers) {
    if (auto* sequence = dynamic_cast<TMultiImageLayer*>(layer.get()))
      longest = std::max(longest, sequence->StartOutro(frame));
  }
  return longest;
}

}  // namespace qv::serve
