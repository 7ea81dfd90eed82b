#include "editor_logic/TestData.h"

#include "composition/TextLayer.h"

#include <algorithm>
#include <cctype>

namespace qv {

namespace {

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The slot (0..7: Meta1..Meta4, NextMeta1..NextMeta4) a field names, or -1.
int SlotIndex(const std::string& Name) {
  const auto& names = MetaFieldNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (SameText(Name, names[i])) return static_cast<int>(i);
  }
  return -1;
}

std::string& SlotText(TQVSystem& Page, int Slot) { return Slot < 4 ? Page.Meta(Slot) : Page.NextMeta(Slot - 4); }

// The slot a text layer's TextSource names (0..7), or -1.
int SourceSlot(const TTextLayer& Text) {
  const int s = static_cast<int>(Text.TextSource());
  if (s >= tsMeta1 && s <= tsMeta4) return s - tsMeta1;
  if (s >= tsNextMeta1 && s <= tsNextMeta4) return 4 + s - tsNextMeta1;
  return -1;
}

}  // namespace

const std::array<std::string, 8>& MetaFieldNames() {
  static const std::array<std::string, 8> names = {"Meta1",     "Meta2",     "Meta3",     "Meta4",
                                                   "NextMeta1", "NextMeta2", "NextMeta3", "NextMeta4"};
  return names;
}

namespace {

void Suggest(const TCustomContainerObject& C, const std::string& Prefix, std::vector<std::string>& Out) {
  for (const auto& p : C.Properties()) {
    if (p->Name.empty() || p->Name.starts_with("_") || !p->Attributes.Has(paVisible)) continue;
    if (const auto* group = dynamic_cast<const TCustomContainerObject*>(p.get())) {
      Suggest(*group, Prefix + p->Name + ".", Out);
    } else {
      Out.push_back(Prefix + p->Name);
    }
  }
}

}  // namespace

std::vector<std::string> FieldSuggestions(const TQVSystem& Page) {
  std::vector<std::string> out;
  for (const auto& layer : Page.Layers) {
    if (!layer->layerName().empty()) Suggest(*layer, layer->layerName() + ".", out);
  }
  return out;
}

// What Apply changed, to put it back.
struct TTestData::TAppliedState {
  std::array<std::string, 8> Slots;           // the slots' text before
  std::array<bool, 8> SlotsSet{};             // the slots the data filled
  std::unique_ptr<TPageSnapshot> Before;      // the values the fields set, as they were
  std::unique_ptr<TPageSnapshot> After;       // the same values as the fields left them
  std::unique_ptr<TPageSnapshot> SlotTexts;   // the text of the layers that show a slot the data filled
};

TTestData::TTestData(TQVSystem& Page) : fPage(Page) {
  for (const std::string& name : MetaFieldNames()) fFields.push_back({name, {}});
  fLayersChanged = fPage.onLayersChanged.Connect([this](TQVSystem*) {
    if (!fApplied) return;
    // A layer deleted since Apply is never looked at again.
    for (TPageSnapshot* s : {fApplied->Before.get(), fApplied->After.get(), fApplied->SlotTexts.get()}) {
      s->ForgetMissingLayers();
    }
  });
}

TTestData::~TTestData() = default;

void TTestData::Set(const std::string& Name, const std::string& Value) {
  if (const int slot = SlotIndex(Name); slot >= 0) {
    fFields[static_cast<std::size_t>(slot)].Value = Value;
    return;
  }
  for (TTestField& f : fFields) {
    if (f.Name == Name) {
      f.Value = Value;
      return;
    }
  }
  if (!Name.empty()) fFields.push_back({Name, Value});
}

void TTestData::Remove(const std::string& Name) {
  if (const int slot = SlotIndex(Name); slot >= 0) {
    fFields[static_cast<std::size_t>(slot)].Value.clear();
    return;
  }
  std::erase_if(fFields, [&](const TTestField& f) { return f.Name == Name; });
}

void TTestData::Clear() {
  fFields.resize(MetaFieldNames().size());
  for (TTestField& f : fFields) f.Value.clear();
}

bool TTestData::LoadCsvRow(const TCsvTable& Table, std::size_t Row) {
  if (Row >= Table.Rows.size()) return false;
  const std::vector<std::string>& fields = Table.Rows[Row].Fields;
  for (std::size_t i = 0; i < Table.Header.size(); ++i) {
    Set(Table.Header[i], i < fields.size() ? fields[i] : std::string());
  }
  return true;
}

void TTestData::LoadMeta(const video::TMetaValues& Values) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (Values.Meta[i]) fFields[i].Value = *Values.Meta[i];
    if (Values.NextMeta[i]) fFields[4 + i].Value = *Values.NextMeta[i];
  }
}

std::vector<std::string> TTestData::Apply() {
  Withdraw();
  std::vector<std::string> header;
  std::vector<std::string> row;
  for (const TTestField& f : fFields) {
    if (f.Value.empty()) continue;
    header.push_back(f.Name);
    row.push_back(f.Value);
  }
  // Fields the page cannot take are told and left out; the others go on.
  std::vector<TBatchColumn> columns;
  std::vector<std::string> values;
  std::vector<std::string> problems;
  const std::vector<TBatchColumn> all = ClassifyColumns(header, fPage, {});
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].Kind == TColumnKind::ckUnknown) {
      problems.push_back("field \"" + all[i].Name + "\": " + all[i].Problem);
      continue;
    }
    columns.push_back(all[i]);
    values.push_back(row[i]);
  }

  auto state = std::make_unique<TAppliedState>();
  for (int s = 0; s < 8; ++s) state->Slots[static_cast<std::size_t>(s)] = SlotText(fPage, s);
  for (const TBatchColumn& c : columns) {
    if (c.Kind == TColumnKind::ckMeta) state->SlotsSet[static_cast<std::size_t>(c.Slot)] = true;
    if (c.Kind == TColumnKind::ckNextMeta) state->SlotsSet[static_cast<std::size_t>(4 + c.Slot)] = true;
  }
  // A text layer that shows a slot takes the slot's text into its own Text at its next frame.
  std::vector<TBatchColumn> slotTexts;
  for (std::size_t i = 0; i < fPage.Layers.size(); ++i) {
    const auto* text = dynamic_cast<const TTextLayer*>(fPage.Layers[i].get());
    const int slot = text != nullptr ? SourceSlot(*text) : -1;
    if (slot < 0 || !state->SlotsSet[static_cast<std::size_t>(slot)]) continue;
    TBatchColumn c;
    c.Kind = TColumnKind::ckProperty;
    c.Layer = static_cast<int>(i);
    c.Path = {"Text"};
    slotTexts.push_back(std::move(c));
  }
  state->SlotTexts = std::make_unique<TPageSnapshot>(fPage, slotTexts);
  state->Before = std::make_unique<TPageSnapshot>(fPage, columns);
  for (std::string& p : ApplyRow(fPage, columns, values, fCarrier)) {
    // The row's words are a table's ("column \"x\": ..."); the panel has fields.
    if (p.rfind("column ", 0) == 0) p.replace(0, 6, "field");
    problems.push_back(std::move(p));
  }
  state->After = std::make_unique<TPageSnapshot>(fPage, columns);
  fApplied = std::move(state);
  return problems;
}

void TTestData::Withdraw() {
  if (!fApplied) return;
  const std::unique_ptr<TAppliedState> state = std::move(fApplied);
  std::vector<TLayer*> touched = state->Before->RestoreExcept(state->After->Changed(), fCarrier);
  for (int s = 0; s < 8; ++s) SlotText(fPage, s) = state->Slots[static_cast<std::size_t>(s)];
  // The text a layer took from a slot the data filled goes back; a layer that shows no such slot
  // now keeps its text.
  std::vector<const TBaseProperty*> keep;
  for (const auto& layer : fPage.Layers) {
    const auto* text = dynamic_cast<const TTextLayer*>(layer.get());
    if (text == nullptr) continue;
    const int slot = SourceSlot(*text);
    if (slot < 0 || !state->SlotsSet[static_cast<std::size_t>(slot)]) keep.push_back(&text->TextProperty());
  }
  for (TLayer* l : state->SlotTexts->RestoreExcept(keep, fCarrier)) {
    if (std::find(touched.begin(), touched.end(), l) == touched.end()) touched.push_back(l);
  }
  // Each layer that had a value put back derives its state again, as after the reader; an
  // animated value whose curve came back takes its value at the frame shown, as a save would
  // find it after the next frame.
  for (TLayer* l : touched) l->CloseObject();
  for (const auto& layer : fPage.Layers) layer->SetFrame(fPage.frame);
}

void TTestData::WithoutTestData(const std::function<void()>& Work) {
  if (!fApplied) {
    Work();
    return;
  }
  Withdraw();
  struct TReapply {
    TTestData& Data;
    ~TReapply() { Data.Apply(); }
  } reapply{*this};
  Work();
}

}  // namespace qv
