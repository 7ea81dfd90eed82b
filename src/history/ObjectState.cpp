#include "history/ObjectState.h"

#include "model/BasicTypes.h"

namespace qv {

TAutoKeyingOff::TAutoKeyingOff(TAnimationManager* Registry) : fRegistry(Registry) {
  if (fRegistry == nullptr) return;
  fWas = fRegistry->AutoAnimationMode;
  fRegistry->AutoAnimationMode = false;
}

TAutoKeyingOff::~TAutoKeyingOff() {
  if (fRegistry != nullptr) fRegistry->AutoAnimationMode = fWas;
}

std::vector<TObjectState::TTrack> TObjectState::TracksOf(const TBaseProperty& P) {
  std::vector<TTrack> tracks;
  const TAnimationManager* am = P.AnimationManager();
  if (am == nullptr || am->Find(&P) == nullptr) return tracks;
  for (int slot = 0; slot < kAnimationSlots; ++slot) {
    const Tkeys* keys = am->trygetAnimation(&P, slot);
    if (keys == nullptr) continue;
    TTrack t;
    t.Slot = slot;
    t.In = keys->finat;
    t.Out = keys->Foutat;
    t.StartFrame = keys->startframe;
    t.EndFrame = keys->EndFrame;
    t.MinValue = keys->Minvalue;
    t.MaxValue = keys->maxvalue;
    t.Coefficients = keys->P;
    t.Name = keys->Name;
    t.PropertyName = keys->fpropertyname;
    for (int i = 0; i < keys->Count(); ++i) {
      const Tkeyframe* k = keys->key(i);
      t.Keys.push_back({k->fframe, k->fvalue, k->firstControlPoint, k->secondControlPoint, k->fstr, k->fTag});
    }
    tracks.push_back(std::move(t));
  }
  return tracks;
}

void TObjectState::TakeNode(const TBaseProperty& P, std::vector<TNode>& Out) {
  TNode node;
  node.Class = std::string(P.ClassName());
  const auto* container = dynamic_cast<const TCustomContainerObject*>(&P);
  if (container == nullptr) {
    if (const auto* text = dynamic_cast<const TString*>(&P)) {
      node.Text = text->Value();
    } else if (const std::int32_t size = P.DataSize(); size > 0) {
      node.Bytes.resize(static_cast<std::size_t>(size));
      P.PushValue(node.Bytes.data());
    }
    node.Form = P.StringForm();
  } else {
    node.Children = container->Count();
  }
  node.Tracks = TracksOf(P);
  Out.push_back(std::move(node));
  if (container != nullptr) {
    for (const auto& child : container->Properties()) TakeNode(*child, Out);
  }
}

TObjectState TObjectState::Take(const TBaseProperty& Root) {
  TObjectState s;
  TakeNode(Root, s.fNodes);
  return s;
}

namespace {

std::vector<std::byte> BytesOf(const TBaseProperty& P) {
  std::vector<std::byte> b(static_cast<std::size_t>(std::max(0, P.DataSize())));
  if (!b.empty()) P.PushValue(b.data());
  return b;
}

}  // namespace

bool TObjectState::ApplyNode(const std::vector<TNode>& Nodes, std::size_t& At, TBaseProperty& P) {
  if (At >= Nodes.size()) return false;
  const TNode& node = Nodes[At++];
  if (node.Class != P.ClassName()) return false;
  auto* container = dynamic_cast<TCustomContainerObject*>(&P);
  if (container != nullptr) {
    if (container->Count() != node.Children) return false;
    for (const auto& child : container->Properties()) {
      if (!ApplyNode(Nodes, At, *child)) return false;
    }
  } else if (node.Text) {
    auto& text = static_cast<TString&>(P);
    if (text.Value() != *node.Text) text.SetValue(*node.Text);
  } else if (!node.Bytes.empty() && static_cast<std::size_t>(P.DataSize()) == node.Bytes.size() &&
             BytesOf(P) != node.Bytes) {
    P.PopValue(node.Bytes.data());
    if (BytesOf(P) != node.Bytes) {
      const TString form(node.Form);
      P.GetValueFrom(&form);
      P.Changed();
    }
  }
  // The tracks last: a value put back on an animated property has moved its curve.
  if (TracksOf(P) != node.Tracks) PutTracks(P, node.Tracks);
  return true;
}

void TObjectState::PutTracks(TBaseProperty& P, const std::vector<TTrack>& Tracks) {
  TAnimationManager* am = P.AnimationManager();
  if (am == nullptr) return;
  am->Remove(&P);
  for (const TTrack& t : Tracks) {
    Tkeys* keys = am->getAnimation(&P, true, t.Slot);
    if (keys == nullptr) continue;
    for (const TKey& k : t.Keys) keys->AddKey(k.Frame, k.Value);
    for (int i = 0; i < keys->Count() && i < static_cast<int>(t.Keys.size()); ++i) {
      Tkeyframe* k = keys->key(i);
      const TKey& from = t.Keys[static_cast<std::size_t>(i)];
      k->fstr = from.Text;
      k->fTag = from.Tag;
      k->firstControlPoint = from.FirstControl;
      k->secondControlPoint = from.SecondControl;
    }
    keys->finat = static_cast<Tanimationtype>(t.In);
    keys->Foutat = static_cast<Tanimationtype>(t.Out);
    keys->startframe = t.StartFrame;
    keys->EndFrame = t.EndFrame;
    keys->Minvalue = t.MinValue;
    keys->maxvalue = t.MaxValue;
    keys->P = t.Coefficients;
    keys->Name = t.Name;
    keys->fpropertyname = t.PropertyName;
  }
}

bool TObjectState::KeepNode(const std::vector<TNode>& Nodes, std::size_t& At, TBaseProperty& P) {
  if (At >= Nodes.size()) return false;
  const TNode& node = Nodes[At++];
  if (node.Class != P.ClassName()) return false;
  if (auto* container = dynamic_cast<TCustomContainerObject*>(&P)) {
    if (container->Count() != node.Children) return false;
    for (const auto& child : container->Properties()) {
      if (!KeepNode(Nodes, At, *child)) return false;
    }
    return true;
  }
  const bool same = node.Text ? static_cast<const TString&>(P).Value() == *node.Text : BytesOf(P) == node.Bytes;
  if (same && TracksOf(P) != node.Tracks) PutTracks(P, node.Tracks);
  return true;
}

void TObjectState::KeepTracksOfUnchangedValues(TBaseProperty& Root) const {
  std::size_t at = 0;
  KeepNode(fNodes, at, Root);
}

bool TObjectState::Apply(TBaseProperty& Root) const {
  TAutoKeyingOff keyingOff(Root.AnimationManager());
  std::size_t at = 0;
  return ApplyNode(fNodes, at, Root);
}

}  // namespace qv
