#include "animation/UBezier.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "base/NumberText.h"
#include "base/Parser.h"

namespace qv {

namespace {
constexpr std::string_view kModeWords[] = {"Constant", "Cycle", "Loop", "PingPong", "Linear", "RelRepeat"};

// Floored remainder: the result lies in [0, b) for b > 0, also for negative a.
double FlooredMod(double a, double b) { return a - std::floor(a / b) * b; }

// floor(x / D) mod 2 with a remainder that keeps the sign of the dividend: 1 only for positive
// odd quotients. Kept in floating point so that huge or NaN frames convert nothing.
bool OddPositiveQuotient(double x, double D) { return std::fmod(std::floor(x / D), 2.0) == 1.0; }
}  // namespace

std::string_view AnimationTypeWord(Tanimationtype t) {
  auto i = static_cast<std::size_t>(t);
  return i < std::size(kModeWords) ? kModeWords[i] : std::string_view();
}

bool AnimationTypeFromWord(std::string_view word, Tanimationtype& t) {
  for (std::size_t i = 0; i < std::size(kModeWords); ++i) {
    if (SameText(word, kModeWords[i])) {
      t = static_cast<Tanimationtype>(i);
      return true;
    }
  }
  return false;
}

Tkeyframe::Tkeyframe(double Frame, Tkeys* AOwner) : fframe(Frame), Owner(AOwner) {}

Tkeyframe::Tkeyframe(const Tkeyframe& Source)
    : fframe(Source.fframe), fvalue(Source.fvalue), Owner(Source.Owner) {}

Tkeys::Tkeys(std::string AName) : Name(std::move(AName)) {}
Tkeys::~Tkeys() = default;

Tkeyframe* Tkeys::key(int Index) const {
  if (List.empty()) throw std::out_of_range("Tkeys::key on an empty track");
  if (Index < 0) Index = 0;
  if (Index >= Count()) Index = Count() - 1;
  return List[static_cast<std::size_t>(Index)].get();
}

void Tkeys::Clear() { List.clear(); }

Tkeyframe* Tkeys::Place(double Frame, bool& created) {
  Tkeyframe* match = nullptr;
  for (auto& k : List)
    if (k->fframe == Frame) match = k.get();
  created = match == nullptr;
  if (match) {
    match->fframe = Frame;
    return match;
  }
  auto k = std::make_unique<Tkeyframe>(Frame, this);
  Tkeyframe* raw = k.get();
  auto pos = List.begin();
  while (pos != List.end() && !((*pos)->fframe > Frame)) ++pos;
  List.insert(pos, std::move(k));
  return raw;
}

Tkeyframe* Tkeys::AddKey(double Frame, int Value) { return AddKey(Frame, static_cast<double>(Value)); }

Tkeyframe* Tkeys::AddKey(double Frame, double Value) {
  if (startframe > Frame) startframe = Frame;
  if (Frame > EndFrame) EndFrame = Frame;
  if (Value > maxvalue) maxvalue = Value;
  if (Minvalue > Value) Minvalue = Value;
  bool created = false;
  Tkeyframe* k = Place(Frame, created);
  k->fvalue = Value;
  GetCurveControlPoints();
  P.resize(List.size(), 0.0);
  return k;
}

Tkeyframe* Tkeys::AddKey(double Frame, const std::string& Value) {
  if (startframe > Frame) startframe = Frame;
  if (Frame > EndFrame) EndFrame = Frame;
  bool created = false;
  Tkeyframe* k = Place(Frame, created);
  k->fstr = Value;
  return k;
}

bool Tkeys::HasKeyAt(double Frame) const {
  for (auto& k : List)
    if (k->fframe == Frame) return true;
  return false;
}

Tkeys::Segment Tkeys::Lookup(double x) const {
  int idx = 0;
  while (idx < Count() && !(List[static_cast<std::size_t>(idx)]->fframe > x)) ++idx;
  const Tkeyframe* A = key(idx - 1);
  const Tkeyframe* B = key(idx);
  double span = B->fframe - A->fframe;
  double t = span == 0.0 ? 0.0 : (x - A->fframe) / span;
  return {A, B, t, idx};
}

double Tkeys::ClampToKeys(double x) const {
  double F = List.front()->fframe, L = List.back()->fframe;
  if (F > x) x = F;
  if (x > L) x = L;
  return x;
}

double Tkeys::Remap(double x) const {
  const double F = List.front()->fframe, L = List.back()->fframe, D = L - F;
  if (x < F) {
    switch (finat) {
      case atConstant: x = F; break;
      case atLoop: x = F + FlooredMod(x, D); break;
      case atPingPong:
        x = OddPositiveQuotient(x, D) ? F - D + FlooredMod(x, D) : F + D - FlooredMod(x, D);
        break;
      default: break;
    }
  }
  if (x > L) {
    switch (Foutat) {
      case atConstant: x = L; break;
      case atLoop: x = F + FlooredMod(x - F, D); break;
      case atPingPong:
        x = OddPositiveQuotient(x, D) ? F + D - FlooredMod(x, D) : F + FlooredMod(x, D);
        break;
      default: break;
    }
  }
  return x;
}

double Tkeys::LinearKeyframe(double x) const {
  if (List.empty()) return 0.0;
  if (List.size() == 1) return List[0]->fvalue;
  Segment s = Lookup(ClampToKeys(x));
  return s.A->fvalue + (s.B->fvalue - s.A->fvalue) * s.t;
}

std::string Tkeys::StrKeyFrame(double x) const {
  if (List.empty()) return std::string();
  if (List.size() == 1) return List[0]->fstr;
  return Lookup(Remap(x)).A->fstr;
}

double Tkeys::IntKeyframe(double x) const {
  if (List.empty()) return 0.0;
  if (List.size() == 1) return List[0]->fvalue;
  Segment s = Lookup(Remap(x));
  const double t = s.t, u = 1.0 - t;
  return u * u * u * s.A->fvalue + 3.0 * u * u * t * s.A->firstControlPoint +
         3.0 * u * t * t * s.A->secondControlPoint + t * t * t * s.B->fvalue;
}

double Tkeys::CosineKeyframe(double x) const {
  if (List.empty()) return 0.0;
  if (List.size() == 1) return List[0]->fvalue;
  Segment s = Lookup(ClampToKeys(x));
  const double m = (1.0 - std::cos(s.t * std::numbers::pi)) / 2.0;
  return s.A->fvalue * (1.0 - m) + s.B->fvalue * m;
}

double Tkeys::QuadraticKeyFrame(double x) const {
  if (List.empty()) return 0.0;
  if (List.size() == 1) return List[0]->fvalue;
  x = ClampToKeys(x);
  Segment s = Lookup(x);
  const Tkeyframe* K[3] = {key(s.idx - 2), key(s.idx - 1), key(s.idx)};
  // The parabola needs three distinct frames; on the first segment, past the last key or with
  // only two keys the clamped picks repeat a key, and the track is read as a straight line there.
  if (K[0]->fframe == K[1]->fframe || K[1]->fframe == K[2]->fframe || K[0]->fframe == K[2]->fframe)
    return LinearKeyframe(x);
  double sum = 0.0;
  for (int j = 0; j < 3; ++j) {
    double num = 1.0, den = 1.0;
    for (int m = 0; m < 3; ++m) {
      if (m == j) continue;
      num *= x - K[m]->fframe;
      den *= K[j]->fframe - K[m]->fframe;
    }
    sum += K[j]->fvalue * num / den;
  }
  return sum;
}

double Tkeys::PolynomialKeyFrame(double x) const {
  if (List.empty()) return 0.0;
  if (List.size() == 1) return List[0]->fvalue;
  if (x < List.front()->fframe) return List.front()->fvalue;
  if (x > List.back()->fframe) return List.back()->fvalue;
  const double span = EndFrame - startframe;
  const double a = span == 0.0 ? 0.0 : (x - startframe) / span;
  // String keys do not resize P, so coefficients missing at the end count as 0.
  const std::size_t n = List.size();
  double sum = 0.0;
  for (std::size_t i = 0; i < n && i < P.size(); ++i)
    sum += P[i] * std::pow(a, static_cast<double>(n - 1 - i));
  return sum;
}

double Tkeys::Kochanek(int Index, double x) const {
  if (List.empty()) return 0.0;
  const Tkeyframe* k0 = key(Index);
  const Tkeyframe* k1 = key(Index + 1);
  const double span = k1->fframe - k0->fframe;
  const double t = span == 0.0 ? 0.0 : (x - k0->fframe) / span;
  auto V = [&](int i) { return static_cast<double>(static_cast<float>(key(i)->fvalue)); };
  const double Vm1 = V(Index - 1), V0 = V(Index), V1 = V(Index + 1), V2 = V(Index + 2);
  const double M0 = 0.5 * ((V0 - Vm1) + (V1 - V0));
  const double M1 = 0.5 * ((V1 - V0) + (V2 - V1));
  const double t2 = t * t, t3 = t2 * t;
  const double r = (2 * t3 - 3 * t2 + 1) * V0 + (-2 * t3 + 3 * t2) * V1 + (t3 - 2 * t2 + t) * M0 +
                   (t3 - t2) * M1;
  return RoundHalfEven(r);
}

double Tkeys::KoKeyframe(double x) const {
  if (List.empty()) return 0.0;
  if (List.size() == 1) return List[0]->fvalue;
  x = ClampToKeys(x);
  if (x == List.back()->fframe) return List.back()->fvalue;
  int j = 0;
  while (j < Count() && !(List[static_cast<std::size_t>(j)]->fframe > x)) ++j;
  return Kochanek(j - 1, x);
}

void Tkeys::GetCurveControlPoints() {
  const int count = Count();
  const int n = count - 1;
  if (count == 0 || n < 1) return;
  auto K = [&](int i) { return List[static_cast<std::size_t>(i)]->fvalue; };
  if (n == 1) {
    Tkeyframe& k0 = *List[0];
    k0.firstControlPoint = (2.0 * K(0) + K(1)) / 3.0;
    k0.secondControlPoint = 2.0 * k0.firstControlPoint - K(0);
    return;
  }
  std::vector<double> R(static_cast<std::size_t>(n)), X(static_cast<std::size_t>(n)),
      T(static_cast<std::size_t>(n));
  R[0] = K(0) + 2.0 * K(1);
  for (int i = 1; i <= n - 2; ++i) R[static_cast<std::size_t>(i)] = 4.0 * K(i) + 2.0 * K(i + 1);
  R[static_cast<std::size_t>(n - 1)] = (8.0 * K(n - 1) + K(n)) / 2.0;
  double b = 2.0;
  X[0] = R[0] / b;
  for (int i = 1; i <= n - 1; ++i) {
    auto ui = static_cast<std::size_t>(i);
    T[ui] = 1.0 / b;
    b = (i < n - 1 ? 4.0 : 3.5) - T[ui];
    X[ui] = (R[ui] - X[ui - 1]) / b;
  }
  for (int i = 1; i <= n - 1; ++i) {
    auto a = static_cast<std::size_t>(n - i - 1), c = static_cast<std::size_t>(n - i);
    X[a] -= T[c] * X[c];
  }
  for (int i = 0; i <= n - 1; ++i) {
    Tkeyframe& k = *List[static_cast<std::size_t>(i)];
    auto ui = static_cast<std::size_t>(i);
    k.firstControlPoint = X[ui];
    k.secondControlPoint = i < n - 1 ? 2.0 * K(i + 1) - X[ui + 1] : (K(n) + X[ui]) / 2.0;
  }
}

void Tkeys::Save(TFileSave& M) const {
  M.OpenObjectKey(this, "Keys" + Name);
  M.AddIntKey("NumKeyFrames", Count());
  for (int i = 0; i < Count(); ++i) {
    const Tkeyframe& k = *List[static_cast<std::size_t>(i)];
    const double values[3] = {k.fframe, k.fvalue, static_cast<double>(k.fTag)};
    M.AddDoubleArrayKey("Key" + std::to_string(i), values, 2);
  }
  M.CloseObjectKey();
}

void Tkeys::SetValue(const std::string& Key, const std::string& Value) {
  if (Key.rfind("Key", 0) != 0) return;
  TParser parser(",");
  parser.beginParse(Value);
  const std::string frameText = parser.Parse();
  const std::string valueText = parser.Parse();
  const std::string tagText = parser.Parse();
  double frame = 0.0, value = 0.0, tag = 0.0;
  // An entry whose frame or value does not read as a number is skipped: a damaged line must not
  // invent a key.
  if (!ParseFloat(frameText, frame) || !ParseFloat(valueText, value)) return;
  if (!ParseFloat(tagText, tag)) tag = 0.0;
  Tkeyframe* k = AddKey(std::trunc(frame), value);
  k->fTag = RoundToInt32(tag);
}

}  // namespace qv
