#include "model/BaseLib.h"

#include <algorithm>
#include <cstring>

#include "animation/AnimationManager.h"
#include "model/MathLib.h"

namespace qv {

namespace {
// Stamps what a container of the page knows of its children for SetFrame: the sum changes
// whenever the registry gains or loses a record or a tree of the page gains a child.
std::uint64_t FrameTreeRevision(const TAnimationManager& am) { return am.Revision() + am.TreeRevision(); }
}  // namespace

// ---- TNotifyList ---------------------------------------------------------------------------

TNotifyRec& TNotifyList::Append() {
  if (!fHasHead) {
    fHead = TNotifyRec{};
    fHasHead = true;
    return fHead;
  }
  fMore.push_back(std::make_unique<TNotifyRec>());
  return *fMore.back();
}

void TNotifyList::EraseRemoved() {
  if (!fHasHead) return;
  if (fHead.Removed) {
    auto next = std::find_if(fMore.begin(), fMore.end(), [](const std::unique_ptr<TNotifyRec>& r) { return !r->Removed; });
    if (next == fMore.end()) {
      Clear();
      return;
    }
    fHead = std::move(**next);
    fMore.erase(fMore.begin(), next + 1);  // the ones before it are removed as well
  }
  std::erase_if(fMore, [](const std::unique_ptr<TNotifyRec>& r) { return r->Removed; });
}

void TNotifyList::Clear() {
  fMore.clear();
  fHead = TNotifyRec{};
  fHasHead = false;
}

// ---- TBaseProperty ------------------------------------------------------------------------

TBaseProperty::TBaseProperty() = default;

TBaseProperty::~TBaseProperty() {
  fNotifyEvents.Clear();
  if (TAnimationManager* am = AnimationManager()) am->Remove(this);
}

void TBaseProperty::AttachPage(const TPageServices* Services) {
  if (Services == fPage) return;
  if (TAnimationManager* am = AnimationManager()) am->Remove(this);
  fPage = Services;
  fAnimRec = nullptr;
  fAnimRevision = ~std::uint64_t{0};
}

std::unique_ptr<TBaseProperty> TBaseProperty::NewInstance() const { return std::make_unique<TBaseProperty>(); }

std::int32_t TBaseProperty::AddChangeNotify(void* Requester, TBaseNotifyEvent Event) {
  TNotifyRec& rec = fNotifyEvents.Append();
  rec.NotifyEvent = std::move(Event);
  rec.Id = static_cast<std::int32_t>(fLiveCount);
  rec.DoNotify = true;
  rec.Requester = Requester;
  ++fLiveCount;
  return rec.Id;
}

void TBaseProperty::AddContainerHook(TCustomContainerObject* Container) {
  const std::size_t at = fNotifyEvents.Size();
  AddChangeNotify(Container, [Container](TBaseProperty* Sender, void*, const std::string& SenderName, std::int32_t) {
    Container->ChildHook(Sender, SenderName);
  });
  fNotifyEvents[at].Container = Container;
}

// While Changed walks the list, removed records stay in place (their callback may be the one
// running) and are only marked; the outermost walk erases them when it ends.
bool TBaseProperty::RemoveChangeNotify(void* Requester) {
  bool any = false;
  for (std::size_t i = 0; i < fNotifyEvents.Size(); ++i) {
    TNotifyRec& rec = fNotifyEvents[i];
    if (rec.Removed || rec.Requester != Requester) continue;
    rec.Removed = true;
    --fLiveCount;
    any = true;
  }
  if (any) {
    fHasRemoved = true;
    if (fWalkDepth == 0) CompactNotifyEvents();
  }
  return any;
}

bool TBaseProperty::RemoveChangeNotify(void* Requester, std::int32_t Id) {
  for (std::size_t i = 0; i < fNotifyEvents.Size(); ++i) {
    TNotifyRec& rec = fNotifyEvents[i];
    if (rec.Removed || rec.Requester != Requester || rec.Id != Id) continue;
    rec.Removed = true;
    --fLiveCount;
    fHasRemoved = true;
    if (fWalkDepth == 0) CompactNotifyEvents();
    return true;
  }
  return false;
}

void TBaseProperty::CompactNotifyEvents() {
  fNotifyEvents.EraseRemoved();
  fHasRemoved = false;
}

std::vector<const TNotifyRec*> TBaseProperty::NotifyEvents() const {
  std::vector<const TNotifyRec*> out;
  out.reserve(fLiveCount);
  for (std::size_t i = 0; i < fNotifyEvents.Size(); ++i)
    if (!fNotifyEvents[i].Removed) out.push_back(&fNotifyEvents[i]);
  return out;
}

void TBaseProperty::Changed() {
  struct WalkGuard {
    TBaseProperty& p;
    explicit WalkGuard(TBaseProperty& prop) : p(prop) { ++p.fWalkDepth; }
    ~WalkGuard() {
      if (--p.fWalkDepth == 0 && p.fHasRemoved) p.CompactNotifyEvents();
    }
  } guard(*this);
  // Positions 0..N-1 of the records present at the start; records are neither erased nor moved
  // during the walk, so every position stays valid.
  const std::size_t n = fNotifyEvents.Size();
  for (std::size_t i = 0; i < n; ++i) {
    TNotifyRec& rec = fNotifyEvents[i];
    if (rec.Removed || !rec.DoNotify) continue;
    if (rec.Container)
      rec.Container->ChildHook(this, Name);
    else if (rec.NotifyEvent)
      rec.NotifyEvent(this, rec.Requester, Name, rec.Id);
  }
}

void TBaseProperty::BeginChange(std::int32_t Id) {
  for (std::size_t i = 0; i < fNotifyEvents.Size(); ++i)
    if (fNotifyEvents[i].Id == Id) fNotifyEvents[i].DoNotify = false;
}

void TBaseProperty::EndChange(std::int32_t Id) {
  for (std::size_t i = 0; i < fNotifyEvents.Size(); ++i)
    if (fNotifyEvents[i].Id == Id) fNotifyEvents[i].DoNotify = true;
}

std::string TBaseProperty::StringForm() const {
  std::string s;
  AsString(s);
  return s;
}

namespace {
// "Anim<slot> <mode> <frame> <value> ..." with a blank after every item.
std::string AnimLine(int slot, const Tkeys& keys) {
  std::string_view word = AnimationTypeWord(keys.Foutat);
  if (word.empty()) word = AnimationTypeWord(atConstant);
  std::string line = "Anim" + std::to_string(slot) + " ";
  line += word;
  line += ' ';
  for (int i = 0; i < keys.Count(); ++i) {
    const Tkeyframe* k = keys.key(i);
    line += std::to_string(RoundToInt64(k->fframe));
    line += ' ';
    line += FormatFixed(k->fvalue, 4);
    line += ' ';
  }
  return line;
}

bool WorthSaving(const Tkeys& keys) {
  if (keys.Count() < 2) return false;
  const double first = keys.key(0)->fvalue;
  for (int i = 1; i < keys.Count(); ++i)
    if (keys.key(i)->fvalue != first) return true;
  return false;
}
}  // namespace

std::string TLineWriter::ValueText(const TBaseProperty& Property) const { return Property.StringForm(); }

void TBaseProperty::SaveToStream(const std::string& Space, TLineWriter& Writer) const {
  Writer.WriteLine(Space + Name + " = " + Writer.ValueText(*this));
  const TAnimationManager* am = AnimationManager();
  for (int slot = 0; am && slot < kAnimationSlots; ++slot) {
    const Tkeys* keys = am->trygetAnimation(this, slot);
    if (keys && WorthSaving(*keys)) Writer.WriteLine(Space + AnimLine(slot, *keys));
  }
}

Tkeys* TBaseProperty::Animation(bool ForceCreation, std::int32_t Slot) const {
  TAnimationManager* am = AnimationManager();
  return am ? am->getAnimation(this, ForceCreation, Slot) : nullptr;
}

bool TBaseProperty::HasAnimation(std::int32_t Slot) const { return Animation(false, Slot) != nullptr; }

TFrameUse TBaseProperty::FrameUse() const { return FrameUseOf(*this); }


void TBaseProperty::getAnimationFrom(TBaseProperty* Source, std::int32_t FrameOffset) {
  if (!Source || Source->ClassName() != ClassName()) return;
  ClearAnimation();
  Tkeys* src = Source->Animation(true);
  Tkeys* dst = Animation(true);
  if (!src || !dst || src == dst) return;
  for (int i = 0; i < src->Count(); ++i) {
    const Tkeyframe* k = src->key(i);
    dst->AddKey(k->fframe + FrameOffset, k->fvalue);
  }
}

void TBaseProperty::SetAnimationType(Tanimationtype Value) {
  if (Tkeys* keys = Animation(false)) {
    keys->finat = Value;
    keys->Foutat = Value;
  }
}

void TBaseProperty::ClearAnimation() {
  if (Tkeys* keys = Animation(false)) keys->Clear();
}

bool TBaseProperty::AsString(std::string& V) const {
  V.clear();
  return false;
}
bool TBaseProperty::AsFloat(double& V) const {
  V = 0.0;
  return false;
}
bool TBaseProperty::AsInt(std::int32_t& V) const {
  V = 0;
  return false;
}
bool TBaseProperty::AsBool(bool& V) const {
  V = false;
  return false;
}
bool TBaseProperty::GetValueFrom(const TBaseProperty*) { return false; }

bool TBaseProperty::TryGetValueFrom(const TBaseProperty* Source) const {
  std::unique_ptr<TBaseProperty> fresh = NewInstance();
  return fresh && fresh->GetValueFrom(Source);
}

std::weak_ptr<const void> TBaseProperty::LifetimeToken() const {
  if (!fLifetime) fLifetime = std::make_shared<const int>(0);
  return fLifetime;
}

// ---- TCustomContainerObject ----------------------------------------------------------------

TCustomContainerObject::TCustomContainerObject() = default;

TCustomContainerObject::~TCustomContainerObject() {
  TAnimationManager* am = AnimationManager();
  for (auto& child : fProperties) {
    if (am) am->Remove(child.get());
    child.reset();
  }
  fProperties.clear();
  if (am) am->Remove(this);
}

void TCustomContainerObject::AttachPage(const TPageServices* Services) {
  if (Services == Page()) return;
  TBaseProperty::AttachPage(Services);
  fFrameRevision = ~std::uint64_t{0};
  for (auto& child : fProperties) child->AttachPage(Services);
  if (TAnimationManager* am = AnimationManager()) am->NoteTreeChanged();
}

TBaseProperty* TCustomContainerObject::AddChild(std::unique_ptr<TBaseProperty> Child, std::string ChildName) {
  TBaseProperty* raw = Child.get();
  raw->AddContainerHook(this);
  raw->fOwner = this;
  raw->AttachPage(Page());
  fProperties.push_back(std::move(Child));
  raw->Name = std::move(ChildName);
  if (TAnimationManager* am = AnimationManager()) am->NoteTreeChanged();
  return raw;
}

void TCustomContainerObject::BeginChange(std::int32_t Id) {
  TBaseProperty::BeginChange(Id);
  for (auto& child : fProperties) child->BeginChange(0);
}

void TCustomContainerObject::EndChange(std::int32_t Id) {
  TBaseProperty::EndChange(Id);
  for (auto& child : fProperties) child->EndChange(0);
}

std::int32_t TCustomContainerObject::DataSize() const {
  std::int32_t size = 0;
  for (auto& child : fProperties) size += child->DataSize();
  return size;
}

void TCustomContainerObject::PushValue(std::byte* Buffer) const {
  for (auto& child : fProperties) {
    child->PushValue(Buffer);
    Buffer += child->DataSize();
  }
}

void TCustomContainerObject::PopValue(const std::byte* Buffer) {
  for (auto& child : fProperties) {
    child->PopValue(Buffer);
    Buffer += child->DataSize();
  }
}

std::int32_t TCustomContainerObject::GetMinItemWidth() const {
  std::int32_t w = 80;
  for (auto& child : fProperties) w = std::max(w, child->GetMinItemWidth());
  return w;
}

void TCustomContainerObject::SaveToStream(const std::string& Space, TLineWriter& Writer) const {
  Writer.WriteLine(Space + "Object '" + Name + "':" + std::string(ClassName()));
  const std::string inner = Space + "\t";
  for (auto& child : fProperties)
    if (!child->Name.empty() && CanSave(child->Name)) child->SaveToStream(inner, Writer);
  Writer.WriteLine(Space + "End");
}

void TCustomContainerObject::getAnimationFrom(TBaseProperty* Source, std::int32_t FrameOffset) {
  if (!Source || Source->ClassName() != ClassName()) return;
  auto* src = dynamic_cast<TCustomContainerObject*>(Source);
  if (!src) return;
  const std::size_t n = std::min(src->Count(), Count());
  for (std::size_t i = 0; i < n; ++i) Child(i)->getAnimationFrom(src->Child(i), FrameOffset);
}

bool TCustomContainerObject::RefreshFrameSteps(const TAnimationManager& am, std::uint64_t Revision) {
  if (fFrameRevision == Revision) return !fFrameSteps.empty();
  if (fFrameWalks > 0) fRetiredFrameSteps.push_back(std::move(fFrameSteps));  // a walk still reads them
  fFrameSteps.clear();
  for (std::size_t i = 0; i < fProperties.size(); ++i) {
    TBaseProperty& child = *fProperties[i];
    const auto at = static_cast<std::uint32_t>(fFrameSteps.size());
    const TFrameStep own{&child, kOwnChild, static_cast<std::uint32_t>(i), at + 1, false};
    switch (child.FrameUse()) {
      case TFrameUse::fuNone: break;
      case TFrameUse::fuTracks:
        if (child.AnimRecord(am) != nullptr) fFrameSteps.push_back(own);
        break;
      case TFrameUse::fuOwn: fFrameSteps.push_back(own); break;
      case TFrameUse::fuChildren: {
        // Only a container has the container's SetFrame. Its steps follow its own, renumbered.
        auto& group = static_cast<TCustomContainerObject&>(child);
        if (!group.RefreshFrameSteps(am, Revision)) break;
        fFrameSteps.push_back(own);
        fFrameSteps.back().Forwards = true;
        for (TFrameStep step : group.fFrameSteps) {
          step.Parent = step.Parent == kOwnChild ? at : step.Parent + at + 1;
          step.End += at + 1;
          fFrameSteps.push_back(step);
        }
        fFrameSteps[at].End = static_cast<std::uint32_t>(fFrameSteps.size());
        break;
      }
    }
  }
  fFrameRevision = Revision;
  return !fFrameSteps.empty();
}

void TCustomContainerObject::FinishFramePlainly(const TFrameStep* Steps, std::size_t k, double Frame) {
  for (std::uint32_t at = static_cast<std::uint32_t>(k); at != kOwnChild;) {
    const TFrameStep step = Steps[at];
    const TCustomContainerObject& holder =
        step.Parent == kOwnChild ? *this : static_cast<const TCustomContainerObject&>(*Steps[step.Parent].Node);
    for (std::size_t j = step.Index + 1; j < holder.Count(); ++j)
      if (TBaseProperty* c = holder.Child(j); !c->Name.empty()) c->SetFrame(Frame);
    at = step.Parent;
  }
}

// Every named child in order, as far as its SetFrame can do anything: children without tracks
// anywhere below them are left out, and groups that only forward are walked here rather than
// called (their names are still checked). What is left out is known from the last time the
// tree or the registry changed; when a subscriber changes either during the walk, the rest is
// done the plain way.
void TCustomContainerObject::SetFramePlainly(double Frame) {
  for (std::size_t i = 0; i < Count(); ++i)
    if (TBaseProperty* c = Child(i); !c->Name.empty()) c->SetFrame(Frame);
}

void TCustomContainerObject::SetFrame(double Frame) {
  const TAnimationManager* registry = AnimationManager();
  if (registry == nullptr) {
    SetFramePlainly(Frame);
    return;
  }
  const TAnimationManager& am = *registry;
  const std::uint64_t revision = FrameTreeRevision(am);
  if (fFrameRevision != revision) RefreshFrameSteps(am, revision);
  struct WalkGuard {
    TCustomContainerObject& c;
    explicit WalkGuard(TCustomContainerObject& container) : c(container) { ++c.fFrameWalks; }
    ~WalkGuard() {
      if (--c.fFrameWalks == 0 && !c.fRetiredFrameSteps.empty()) c.fRetiredFrameSteps.clear();
    }
  } guard(*this);
  // The buffer stays valid until the walk ends, even when the steps are taken again meanwhile.
  const TFrameStep* const steps = fFrameSteps.data();
  const std::size_t n = fFrameSteps.size();
  for (std::size_t k = 0; k < n;) {
    const TFrameStep& step = steps[k];
    if (step.Node->Name.empty()) {
      k = step.End;
      continue;
    }
    if (step.Forwards) {
      ++k;
      continue;
    }
    step.Node->SetFrame(Frame);
    if (FrameTreeRevision(am) != revision) {
      FinishFramePlainly(steps, k, Frame);
      return;
    }
    ++k;
  }
}

void TCustomContainerObject::SetAnimationType(Tanimationtype Value) {
  for (auto& child : fProperties)
    if (!child->Name.empty()) child->SetAnimationType(Value);
}

void TCustomContainerObject::ClearAnimation() {
  for (auto& child : fProperties)
    if (!child->Name.empty()) child->ClearAnimation();
}

TBaseProperty* TCustomContainerObject::GetProperty(std::string_view aName) const {
  for (auto& child : fProperties)
    if (SameText(child->Name, aName)) return child.get();
  return nullptr;
}

void TCustomContainerObject::GetInProps(std::vector<TBaseProperty*>& List) const {
  for (auto& child : fProperties)
    if (child->Attributes.Has(paIn)) List.push_back(child.get());
}

void TCustomContainerObject::GetOutProps(std::vector<TBaseProperty*>& List) const {
  for (auto& child : fProperties)
    if (child->Attributes.Has(paOut)) List.push_back(child.get());
}

namespace {
void SetDirection(TBaseProperty* p, TBaseTypeDirection d) {
  if (!p) return;
  if (d == btIn) {
    p->Attributes.Include(paIn);
    p->Attributes.Exclude(paOut);
  } else {
    p->Attributes.Include(paOut);
    p->Attributes.Exclude(paIn);
  }
}
}  // namespace

void TCustomContainerObject::SetPropertiesDirection(std::span<const std::string> Names,
                                                    std::span<const TBaseTypeDirection> Directions) {
  if (Names.size() != Directions.size()) return;
  for (std::size_t i = 0; i < Names.size(); ++i) SetDirection(GetProperty(Names[i]), Directions[i]);
}

void TCustomContainerObject::SetPropertiesDirection(std::span<const std::string> Names, TBaseTypeDirection Direction) {
  for (const std::string& n : Names) SetDirection(GetProperty(n), Direction);
}

// ---- TContainerObject ----------------------------------------------------------------------

const TClassInfo& TContainerObject::StaticClassInfo() {
  static const TClassInfo info{"TContainerObject", nullptr, {}};
  return info;
}

void TContainerObject::Discover() {
  for (const TClassInfo* ci = &ClassInfo(); ci; ci = ci->Parent) {
    for (const TPublishedMember& m : ci->Members) {
      if (!m.Name || !m.Create || !m.Store) continue;
      const std::string_view name(m.Name);
      if (name.empty() || name.front() == '_') continue;
      bool accept = true;
      AcceptProperty(name, accept);
      if (!accept) continue;
      std::unique_ptr<TBaseProperty> child = m.Create();
      if (!child) continue;
      m.Store(*this, child.get());
      AddChild(std::move(child), std::string(name));
    }
  }
}

bool TContainerObject::GetValueFrom(const TBaseProperty* Source) {
  auto* src = dynamic_cast<const TContainerObject*>(Source);
  if (!src || src->ClassName() != ClassName()) return false;
  Assign(src);
  return true;
}

void TContainerObject::Assign(const TContainerObject* Source) {
  if (!Source) return;
  const std::size_t n = std::min(Source->Count(), Count());
  for (std::size_t i = 0; i < n; ++i) {
    TBaseProperty* from = Source->Child(i);
    TBaseProperty* to = Child(i);
    if (auto* fromContainer = dynamic_cast<const TContainerObject*>(from)) {
      if (auto* toContainer = dynamic_cast<TContainerObject*>(to)) toContainer->Assign(fromContainer);
    } else {
      to->GetValueFrom(from);
    }
  }
}

TContainerObject* TContainerObject::GetObject(std::string_view aName, std::string_view aClassName) {
  for (auto& child : Properties()) {
    if (!SameText(child->Name, aName) || !SameText(child->ClassName(), aClassName)) continue;
    if (auto* c = dynamic_cast<TContainerObject*>(child.get())) return c;
  }
  return nullptr;
}

}  // namespace qv
