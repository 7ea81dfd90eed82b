#include "model/BasicTypes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "animation/AnimationManager.h"
#include "model/MathLib.h"

namespace qv {

namespace {
// Calls fn for each track of `owner` in an enabled slot that holds keys, in slot order. fn
// answers whether it notified; the record is then taken again, because a subscriber may have
// changed the registry.
template <class Fn>
void ForEachEvaluatedTrack(const TBaseProperty& owner, Fn&& fn) {
  const TAnimationManager* registry = owner.AnimationManager();
  if (registry == nullptr) return;
  const TAnimationManager& am = *registry;
  const TAnimRec* rec = owner.AnimRecord(am);
  std::uint64_t revision = am.Revision();
  // The slots that hold a track, lowest first.
  unsigned slots = rec ? rec->Occupied : 0u;
  while (slots != 0) {
    const int slot = std::countr_zero(slots);
    slots &= slots - 1;
    const Tkeys* keys = rec->AnimationList[static_cast<std::size_t>(slot)].get();
    if (!am.Anims[static_cast<std::size_t>(slot)].enabled || keys->Count() == 0 || !fn(*keys)) continue;
    // A record is only ever added or removed whole, and the revision says when.
    if (am.Revision() != revision) {
      rec = owner.AnimRecord(am);
      revision = am.Revision();
    }
    slots = rec ? rec->Occupied & (~0u << (slot + 1)) : 0u;
  }
}
}  // namespace

// ---- TDouble -----------------------------------------------------------------------------

void TDouble::ApplyKeyframeSide(double v) {
  const TAnimationManager* am = AnimationManager();
  if (am == nullptr) return;
  if (am->AutoAnimationMode) {
    if (Tkeys* keys = Animation(true)) {
      if (keys->Count() == 0 && am->Frame != 0.0) keys->AddKey(0.0, fValue);
      keys->AddKey(am->Frame, v);
    }
  } else if (Tkeys* keys = Animation(false)) {
    // The whole curve moves with the value, so the animation keeps its shape around it.
    const double delta = v - fValue;
    for (int i = 0; i < keys->Count(); ++i) keys->key(i)->fvalue += delta;
  }
}

void TDouble::SetValue(double v) {
  ApplyKeyframeSide(v);
  fValue = v;
  Changed();
}

void TDouble::PushValue(std::byte* Buffer) const { std::memcpy(Buffer, &fValue, 8); }

void TDouble::PopValue(const std::byte* Buffer) {
  double v;
  std::memcpy(&v, Buffer, 8);
  SetValue(v);
}

bool TDouble::AsString(std::string& V) const {
  V = FormatFixed(fValue, 8);
  return true;
}
bool TDouble::AsFloat(double& V) const {
  V = fValue;
  return true;
}
bool TDouble::AsInt(std::int32_t& V) const {
  V = RoundToInt32(fValue);
  return true;
}
bool TDouble::AsBool(bool& V) const {
  V = fValue > 0.0;
  return true;
}

bool TDouble::GetValueFrom(const TBaseProperty* Source) {
  if (!Source) return false;
  double v = 0.0;
  if (!Source->AsFloat(v)) return false;
  SetValue(v);
  return true;
}

void TDouble::SetFrame(double Frame) {
  ForEachEvaluatedTrack(*this, [&](const Tkeys& keys) {
    const double x = keys.LinearKeyframe(Frame);
    if (x == fValue) return false;  // a NaN counts as a change
    fValue = x;
    Changed();
    return true;
  });
}

void TDouble::MakeAnimation(std::span<const double> Values, std::span<const std::int32_t> Frames, float Scale,
                            std::int32_t Offset) {
  Tkeys* keys = Animation(true);
  if (!keys) return;
  const std::size_t n = std::min(Values.size(), Frames.size());
  for (std::size_t i = 0; i < n; ++i) {
    const double frame = Offset + static_cast<double>(Scale) * (static_cast<double>(Frames[i]) - Offset);
    keys->AddKey(RoundHalfEven(frame), Values[i]);
  }
}

void TDouble::MakeAnimation(std::span<const double> Values, std::span<const std::int32_t> Frames,
                            std::int32_t Offset) {
  if (!Values.empty()) fValue = Values[0];
  Tkeys* keys = Animation(true);
  if (!keys) return;
  const std::size_t n = std::min(Values.size(), Frames.size());
  for (std::size_t i = 0; i < n; ++i)
    keys->AddKey(static_cast<double>(Offset) + static_cast<double>(Frames[i]), Values[i]);
}

void TMinMaxDouble::SetValue(double v) {
  if (v > fMax)
    v = fMax;
  else if (v < fMin)
    v = fMin;
  TDouble::SetValue(v);
}

TZeroOneDouble::TZeroOneDouble() {
  fMin = 0.0;
  fMax = 1.0;
  ratio = 0.025f / 20.0f;
}

// ---- TInteger ----------------------------------------------------------------------------

void TInteger::ApplyKeyframeSide(std::int32_t v) {
  const TAnimationManager* am = AnimationManager();
  if (am == nullptr) return;
  if (am->AutoAnimationMode) {
    if (Tkeys* keys = Animation(true)) {
      if (keys->Count() == 0) keys->AddKey(0.0, fValue);
      keys->AddKey(std::trunc(am->Frame), v);
    }
  } else if (Tkeys* keys = Animation(false)) {
    // In 64 bits: the difference of two 32-bit values may not fit in 32.
    const double delta = static_cast<double>(static_cast<std::int64_t>(v) - fValue);
    for (int i = 0; i < keys->Count(); ++i) keys->key(i)->fvalue += delta;
  }
}

void TInteger::SetValue(std::int32_t v) {
  ApplyKeyframeSide(v);
  fValue = v;
  Changed();
}

void TInteger::PushValue(std::byte* Buffer) const { std::memcpy(Buffer, &fValue, 4); }

void TInteger::PopValue(const std::byte* Buffer) {
  std::int32_t v;
  std::memcpy(&v, Buffer, 4);
  SetValue(v);
}

bool TInteger::AsString(std::string& V) const {
  V = std::to_string(fValue);
  return true;
}
bool TInteger::AsFloat(double& V) const {
  V = fValue;
  return true;
}
bool TInteger::AsInt(std::int32_t& V) const {
  V = fValue;
  return true;
}
bool TInteger::AsBool(bool& V) const {
  V = fValue > 0;
  return true;
}

bool TInteger::GetValueFrom(const TBaseProperty* Source) {
  if (!Source) return false;
  std::int32_t v = 0;
  const bool ok = Source->AsInt(v);
  fValue = v;
  return ok;
}

void TInteger::SetFrame(double Frame) {
  ForEachEvaluatedTrack(*this, [&](const Tkeys& keys) {
    const std::int32_t x = RoundToInt32(keys.LinearKeyframe(Frame));
    if (x == fValue) return false;
    fValue = x;
    Changed();
    return true;
  });
}

void TMinMaxInteger::SetValue(std::int32_t v) {
  if (v > fMax)
    v = fMax;
  else if (v < fMin)
    v = fMin;
  TInteger::SetValue(v);
}

// ---- TString -----------------------------------------------------------------------------

void TString::SetValue(const std::string& v) {
  fValue = v;
  Changed();
}

bool TString::AsString(std::string& V) const {
  V = fValue;
  return true;
}

bool TString::AsFloat(double& V) const {
  V = 0.0;
  return ParseFloat(fValue, V);
}

bool TString::AsInt(std::int32_t& V) const { return ParseInt(fValue, V); }

bool TString::AsBool(bool& V) const {
  V = false;
  return ParseBool(fValue, V);
}

bool TString::GetValueFrom(const TBaseProperty* Source) {
  if (!Source) return false;
  std::string v;
  if (!Source->AsString(v)) return false;
  fValue = std::move(v);
  return true;
}

void TString::SetFrame(double Frame) {
  ForEachEvaluatedTrack(*this, [&](const Tkeys& keys) {
    fValue = keys.StrKeyFrame(Frame);
    Changed();
    return true;
  });
}

void TString::MakeAnimation(std::span<const std::string> Values, std::span<const std::int32_t> Frames, float Scale,
                            std::int32_t Offset) {
  Tkeys* keys = Animation(true);
  if (!keys) return;
  const std::size_t n = std::min(Values.size(), Frames.size());
  for (std::size_t i = 0; i < n; ++i) {
    const double frame = Offset + static_cast<double>(Scale) * (static_cast<double>(Frames[i]) - Offset);
    keys->AddKey(RoundHalfEven(frame), Values[i]);
  }
}

// ---- TBoolean ----------------------------------------------------------------------------

void TBoolean::SetValue(bool v) {
  fValue = v;
  Changed();
}

void TBoolean::PushValue(std::byte* Buffer) const {
  const std::int32_t v = fValue ? 1 : 0;
  std::memcpy(Buffer, &v, 4);
}

void TBoolean::PopValue(const std::byte* Buffer) { SetValue(Buffer[0] != std::byte{0}); }

bool TBoolean::AsString(std::string& V) const {
  V = fValue ? "True" : "False";
  return true;
}
bool TBoolean::AsFloat(double& V) const {
  V = fValue ? 1.0 : 0.0;
  return true;
}
bool TBoolean::AsInt(std::int32_t& V) const {
  V = fValue ? 1 : 0;
  return true;
}
bool TBoolean::AsBool(bool& V) const {
  V = fValue;
  return true;
}

bool TBoolean::GetValueFrom(const TBaseProperty* Source) {
  if (!Source) return false;
  bool v = false;
  if (!Source->AsBool(v)) return false;
  fValue = v;
  return true;
}

// ---- TColor4 -----------------------------------------------------------------------------

QV_PUBLISHED(TColor4,
             QV_MEMBER("Red", fRed),
             QV_MEMBER("Green", fGreen),
             QV_MEMBER("Blue", fBlue),
             QV_MEMBER("Alpha", fAlpha))

namespace {
std::uint32_t ByteOf(double scaled) {
  if (!(scaled > 0.0)) return 0;  // also NaN
  if (scaled >= 255.0) return 255;
  return static_cast<std::uint32_t>(scaled);
}
}  // namespace

std::uint32_t TColor4::GetWinColor() const {
  return ByteOf(std::trunc(fRed->Value() * 255.0)) | ByteOf(std::trunc(fGreen->Value() * 255.0)) << 8 |
         ByteOf(std::trunc(fBlue->Value() * 255.0)) << 16;
}

std::uint32_t TColor4::aswinColor() const {
  return ByteOf(RoundHalfEven(fRed->Value() * 255.0)) | ByteOf(RoundHalfEven(fGreen->Value() * 255.0)) << 8 |
         ByteOf(RoundHalfEven(fBlue->Value() * 255.0)) << 16;
}

void TColor4::SetWinColor(std::uint32_t c) {
  fRed->SetValue((c & 0xFF) / 255.0);
  fGreen->SetValue(((c >> 8) & 0xFF) / 255.0);
  fBlue->SetValue(((c >> 16) & 0xFF) / 255.0);
  fAlpha->SetValue(1.0);
}

void TColor4::SetVector(double x, double y, double z, double w) {
  fRed->SetValue(x);
  fGreen->SetValue(y);
  fBlue->SetValue(z);
  fAlpha->SetValue(w);
}

void TColor4::SetVector(float r, float g, float b, float a) {
  SetVector(static_cast<double>(r), static_cast<double>(g), static_cast<double>(b), static_cast<double>(a));
}

void TColor4::SetVector(float r, float g, float b) { SetVector(r, g, b, 1.0f); }

std::array<float, 4> TColor4::asVector() const {
  return {static_cast<float>(fRed->Value()), static_cast<float>(fGreen->Value()), static_cast<float>(fBlue->Value()),
          static_cast<float>(fAlpha->Value())};
}

std::array<float, 3> TColor4::asAffineVector() const {
  return {static_cast<float>(fRed->Value()), static_cast<float>(fGreen->Value()), static_cast<float>(fBlue->Value())};
}

}  // namespace qv
