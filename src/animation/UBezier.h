#pragma once
// Keyframe tracks: an ordered list of keys on the frame axis (25 frames per second, keys sit on
// whole frames when the editor or the project reader makes them) and the evaluators that answer
// a track's value at any frame.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "animation/KeyedFile.h"

namespace qv {

// What a track does before its first and after its last key. Only atConstant, atLoop and
// atPingPong change the evaluation; the others are kept, saved and loaded and hold the end key.
enum Tanimationtype : std::uint8_t {
  atConstant,
  atCycle,
  atLoop,
  atPingPong,
  atLinear,
  atRelativeRepeat,
};

// The word a project file uses for a mode ("Constant", "Cycle", "Loop", "PingPong", "Linear",
// "RelRepeat"); empty for a value outside the list.
std::string_view AnimationTypeWord(Tanimationtype t);
// Reads a mode word, ignoring letter case; false (and `t` unchanged) for any other word.
bool AnimationTypeFromWord(std::string_view word, Tanimationtype& t);

class Tkeys;

class Tkeyframe {
 public:
  Tkeyframe(double Frame, Tkeys* AOwner);
  // Copies frame, value and owner; string, control points and tag start empty.
  explicit Tkeyframe(const Tkeyframe& Source);
  Tkeyframe& operator=(const Tkeyframe&) = delete;

  double fframe = 0.0;  // Frame
  double fvalue = 0.0;  // Value
  Tkeys* Owner = nullptr;
  std::string fstr;  // StrValue
  double firstControlPoint = 0.0;   // cubic control values of the segment that starts here
  double secondControlPoint = 0.0;
  std::int32_t fTag = 0;  // Tag
};

class Tkeys : public TPersistentClass {
 public:
  explicit Tkeys(std::string AName = std::string());
  ~Tkeys() override;
  Tkeys(const Tkeys&) = delete;
  Tkeys& operator=(const Tkeys&) = delete;

  std::string_view ClassName() const override { return "Tkeys"; }

  std::string fpropertyname;           // propertyName (informational)
  Tanimationtype finat = atConstant;   // InCurveOutOfRange
  Tanimationtype Foutat = atConstant;  // OutCurveOutOfRange
  // Running bounds: they only widen, and Clear keeps them.
  double startframe = 268435455.0;
  double EndFrame = 0.0;
  double Minvalue = 16777215.0;
  double maxvalue = -16777215.0;
  // Polynomial coefficients, one per key, highest power first. Numeric AddKey resizes them with
  // the key count (new entries 0.0); nothing fits them, so callers that want PolynomialKeyFrame
  // fill them themselves.
  std::vector<double> P;
  std::string Name;

  int Count() const { return static_cast<int>(List.size()); }
  // The key at Index clamped into 0..Count-1. Throws std::out_of_range on an empty track.
  Tkeyframe* key(int Index) const;

  void Clear();
  Tkeyframe* AddKey(double Frame, int Value);
  Tkeyframe* AddKey(double Frame, double Value);
  Tkeyframe* AddKey(double Frame, const std::string& Value);
  Tkeyframe* AddKey(double Frame, const char* Value) { return AddKey(Frame, std::string(Value)); }
  bool HasKeyAt(double Frame) const;

  double LinearKeyframe(double x) const;
  std::string StrKeyFrame(double x) const;
  double IntKeyframe(double x) const;
  double CosineKeyframe(double x) const;
  double QuadraticKeyFrame(double x) const;
  double PolynomialKeyFrame(double x) const;
  double KoKeyframe(double x) const;
  double Kochanek(int Index, double x) const;

  void GetCurveControlPoints();

  // Keyed save/load of the track (the "Keys<Name>" object with NumKeyFrames and KeyN lines).
  void Save(TFileSave& M) const;
  void SetValue(const std::string& Key, const std::string& Value) override;

 private:
  struct Segment {
    const Tkeyframe* A;
    const Tkeyframe* B;
    double t;
    int idx;
  };
  Segment Lookup(double x) const;
  double Remap(double x) const;
  double ClampToKeys(double x) const;
  Tkeyframe* Place(double Frame, bool& created);

  std::vector<std::unique_ptr<Tkeyframe>> List;  // strictly ascending by fframe
};

}  // namespace qv
