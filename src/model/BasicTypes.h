#pragma once
// The value property classes: numbers with and without limits, strings, booleans, the eight
// enumerations and the colour container, plus the derived classes whose cells the editor adds.
#include <array>
#include <cstring>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/BaseLib.h"

namespace qv {

// The classes of the value kinds: a property of the kind is one of these or derives from it.
class TDouble;
class TTimeCode;
class TInteger;
class TString;
class TBoolean;
class TEnumProperty;
class TColor4;
#define QV_EDITOR_KIND_CLASS(Kind, Cls) \
  template <>                           \
  struct TEditorKindClass<TEditorKind::Kind> { using type = Cls; };
QV_EDITOR_KIND_CLASS(ekFloat, TDouble)
QV_EDITOR_KIND_CLASS(ekInteger, TInteger)
QV_EDITOR_KIND_CLASS(ekString, TString)
QV_EDITOR_KIND_CLASS(ekBoolean, TBoolean)
QV_EDITOR_KIND_CLASS(ekEnum, TEnumProperty)
QV_EDITOR_KIND_CLASS(ekColor, TColor4)
QV_EDITOR_KIND_CLASS(ekTimeCode, TTimeCode)
QV_EDITOR_KIND_CLASS(ekImageFile, TString)
QV_EDITOR_KIND_CLASS(ekTextFile, TString)
QV_EDITOR_KIND_CLASS(ekDirectory, TString)
#undef QV_EDITOR_KIND_CLASS

// A value class's name, its parameterless factory, what its SetFrame does and, when given, how
// the grid edits it (an identifier of TEditorKind; a class without one keeps its parent's).
#define QV_PROPERTY(Cls, ...)                                                             \
 public:                                                                                  \
  __VA_OPT__(QV_EDITOR_KIND(Cls, __VA_ARGS__))                                            \
  std::string_view ClassName() const override { return #Cls; }                            \
  std::unique_ptr<::qv::TBaseProperty> NewInstance() const override { return std::make_unique<Cls>(); } \
  ::qv::TFrameUse FrameUse() const override { return ::qv::FrameUseOf<Cls>(*this); }

// The SetFrame of these three evaluates the property's own tracks.
template <>
struct TSetFrameUse<TDouble> {
  static constexpr TFrameUse value = TFrameUse::fuTracks;
};
template <>
struct TSetFrameUse<TInteger> {
  static constexpr TFrameUse value = TFrameUse::fuTracks;
};
template <>
struct TSetFrameUse<TString> {
  static constexpr TFrameUse value = TFrameUse::fuTracks;
};

class TDouble : public TBaseProperty {
  QV_PROPERTY(TDouble, ekFloat)
 public:
  double OldValue = 0.0;   // value at the start of a mouse gesture
  float ratio = 0.025f;    // value change per pixel of horizontal drag

  double Value() const { return fValue; }
  // Keyframe side (automatic keying or curve shift), then store, then Changed (always).
  virtual void SetValue(double v);

  std::optional<TValueKind> ValueKind() const override { return vkFloat; }
  std::int32_t DataSize() const override { return 8; }
  void PushValue(std::byte* Buffer) const override;
  void PopValue(const std::byte* Buffer) override;
  bool AsString(std::string& V) const override;  // 8 decimals, "." separator
  bool AsFloat(double& V) const override;
  bool AsInt(std::int32_t& V) const override;  // rounded, halves to even
  bool AsBool(bool& V) const override;         // value > 0
  bool GetValueFrom(const TBaseProperty* Source) override;
  void SetFrame(double Frame) override;

  // Keys Values[i] at Offset + Scale * (Frames[i] - Offset), rounded halves to even.
  void MakeAnimation(std::span<const double> Values, std::span<const std::int32_t> Frames, float Scale,
                     std::int32_t Offset);
  // Stores Values[0] silently, then keys Values[i] at Offset + Frames[i].
  void MakeAnimation(std::span<const double> Values, std::span<const std::int32_t> Frames, std::int32_t Offset);

 protected:
  void ApplyKeyframeSide(double v);
  double fValue = 0.0;
};

class TMinMaxDouble : public TDouble {
  QV_PROPERTY(TMinMaxDouble, ekFloat)
 public:
  // Stores the limits; the current value is not clamped again.
  void SetMinMax(double aMin, double aMax) {
    fMin = aMin;
    fMax = aMax;
  }
  double Min() const { return fMin; }
  double Max() const { return fMax; }
  void SetValue(double v) override;  // clamps (max first), then as TDouble

 protected:
  double fMin = 0.0;
  double fMax = 0.0;
};

class TZeroOneDouble : public TMinMaxDouble {
  QV_PROPERTY(TZeroOneDouble, ekFloat)
 public:
  TZeroOneDouble();
};

class TTimeCode : public TDouble {
  QV_PROPERTY(TTimeCode, ekTimeCode)
};

class TInteger : public TBaseProperty {
  QV_PROPERTY(TInteger, ekInteger)
 public:
  std::int32_t OldValue = 0;

  std::int32_t Value() const { return fValue; }
  virtual void SetValue(std::int32_t v);
  // A value the engine derives from content (a picture's or a measured text's size): stored and
  // notified as a setter would, but it is no edit, so no limits apply and no keyframe moves or is
  // added, whatever the auto-key mode.
  void StoreDerived(std::int32_t v) {
    fValue = v;
    Changed();
  }

  std::optional<TValueKind> ValueKind() const override { return vkInt; }
  std::int32_t DataSize() const override { return 4; }
  void PushValue(std::byte* Buffer) const override;
  void PopValue(const std::byte* Buffer) override;
  bool AsString(std::string& V) const override;
  bool AsFloat(double& V) const override;
  bool AsInt(std::int32_t& V) const override;
  bool AsBool(bool& V) const override;
  // Loading: the integer goes straight into the value (no limits, no keyframe side, no Changed).
  bool GetValueFrom(const TBaseProperty* Source) override;
  void SetFrame(double Frame) override;

 protected:
  void ApplyKeyframeSide(std::int32_t v);
  std::int32_t fValue = 0;
};

class TMinMaxInteger : public TInteger {
  QV_PROPERTY(TMinMaxInteger, ekInteger)
 public:
  void SetMinMax(std::int32_t aMin, std::int32_t aMax) {
    fMin = aMin;
    fMax = aMax;
  }
  std::int32_t Min() const { return fMin; }
  std::int32_t Max() const { return fMax; }
  void SetValue(std::int32_t v) override;

 protected:
  std::int32_t fMin = 0;
  std::int32_t fMax = 0;
};

class TString : public TBaseProperty {
  QV_PROPERTY(TString, ekString)
 public:
  TString() = default;
  explicit TString(std::string v) : fValue(std::move(v)) {}
  std::string OldValue;

  const std::string& Value() const { return fValue; }
  void SetValue(const std::string& v);

  std::optional<TValueKind> ValueKind() const override { return vkStr; }
  bool AsString(std::string& V) const override;
  bool AsFloat(double& V) const override;      // "." or "," as decimal separator
  bool AsInt(std::int32_t& V) const override;  // partial digits on failure
  bool AsBool(bool& V) const override;
  bool GetValueFrom(const TBaseProperty* Source) override;
  // Every enabled slot with keys sets its text and notifies, whether or not the text changed.
  void SetFrame(double Frame) override;

  void MakeAnimation(std::span<const std::string> Values, std::span<const std::int32_t> Frames, float Scale,
                     std::int32_t Offset);

 protected:
  std::string fValue;
};

class TImageFileName : public TString {
  QV_PROPERTY(TImageFileName, ekImageFile)
};
class TDirectory : public TString {
  QV_PROPERTY(TDirectory, ekDirectory)
};
class TTextFile : public TString {
  QV_PROPERTY(TTextFile, ekTextFile)
};

class TBoolean : public TBaseProperty {
  QV_PROPERTY(TBoolean, ekBoolean)
 public:
  bool Value() const { return fValue; }
  void SetValue(bool v);

  std::optional<TValueKind> ValueKind() const override { return vkBool; }
  std::int32_t DataSize() const override { return 4; }
  void PushValue(std::byte* Buffer) const override;
  void PopValue(const std::byte* Buffer) override;
  bool AsString(std::string& V) const override;  // "True" / "False"
  bool AsFloat(double& V) const override;
  bool AsInt(std::int32_t& V) const override;
  bool AsBool(bool& V) const override;
  // Loading: stored only when the source reads as a boolean; no Changed.
  bool GetValueFrom(const TBaseProperty* Source) override;

 protected:
  bool fValue = false;
};

// ---- enumerations ------------------------------------------------------------------------

enum TVTextAlig : std::uint8_t { vaTop, vaCenter, vaBottom };
enum THTextAlig : std::uint8_t { haLeft, haCenter, haRight };
enum TTextSource : std::uint8_t {
  tsNone, tsMeta1, tsMeta2, tsMeta3, tsMeta4, tsNextMeta1, tsNextMeta2, tsNextMeta3, tsNextMeta4
};
enum TTextDirection : std::uint8_t { tdLefttoRight, tdRighttoLeft };
enum TChronoType : std::uint8_t { ctAscendant, ctDescendant };
enum TClockType : std::uint8_t { ctTimer, ctChrono };
enum TShowTime : std::uint8_t { stAllClip, stAfterStart, stBeforeEnd };
enum TDurationType : std::uint8_t { dtFromComposition, dtFixed };

// The identifiers of an enumeration in ordinal order, and its property's class name.
template <class T>
struct TEnumInfo;

#define QV_ENUM_INFO(T, ...)                                                   \
  template <>                                                                  \
  struct TEnumInfo<T> {                                                        \
    static constexpr std::string_view ClassName = "TEnum<" #T ">";            \
    static constexpr std::string_view Names[] = {__VA_ARGS__};                 \
  };

QV_ENUM_INFO(TVTextAlig, "vaTop", "vaCenter", "vaBottom")
QV_ENUM_INFO(THTextAlig, "haLeft", "haCenter", "haRight")
QV_ENUM_INFO(TTextSource, "tsNone", "tsMeta1", "tsMeta2", "tsMeta3", "tsMeta4", "tsNextMeta1", "tsNextMeta2",
             "tsNextMeta3", "tsNextMeta4")
QV_ENUM_INFO(TTextDirection, "tdLefttoRight", "tdRighttoLeft")
QV_ENUM_INFO(TChronoType, "ctAscendant", "ctDescendant")
QV_ENUM_INFO(TClockType, "ctTimer", "ctChrono")
QV_ENUM_INFO(TShowTime, "stAllClip", "stAfterStart", "stBeforeEnd")
QV_ENUM_INFO(TDurationType, "dtFromComposition", "dtFixed")
#undef QV_ENUM_INFO

// What every enumeration property is, whatever its type: an ordinal and the names of the values.
// The eight TEnum<T> differ only in their names, so everything else is one body here, and the
// grid serves every enumeration through this class.
//
// The ordinal is kept as read, also when it names no value (a file from elsewhere): it survives
// a resave, and AsString answers false for it.
class TEnumProperty : public TBaseProperty {
 public:
  std::int32_t OldValue = 0;  // ordinal at the start of a choice

  // The identifiers of the values in ordinal order ("vaTop", "vaCenter", "vaBottom").
  virtual std::span<const std::string_view> Names() const = 0;
  bool InRange() const { return fValue >= 0 && static_cast<std::size_t>(fValue) < Names().size(); }
  std::int32_t Ordinal() const { return fValue; }
  void SetOrdinal(std::int32_t o) {
    fValue = o;
    Changed();
  }

  TEditorKind EditorKind() const override { return TEditorKind::ekEnum; }
  std::int32_t DataSize() const override { return 4; }
  void PushValue(std::byte* Buffer) const override { std::memcpy(Buffer, &fValue, 4); }
  void PopValue(const std::byte* Buffer) override {
    std::int32_t o;
    std::memcpy(&o, Buffer, 4);
    SetOrdinal(o);
  }
  bool AsString(std::string& V) const override {
    if (!InRange()) return TBaseProperty::AsString(V);
    V = std::string(Names()[static_cast<std::size_t>(fValue)]);
    return true;
  }
  bool AsInt(std::int32_t& V) const override {
    V = fValue;
    return true;
  }
  std::string StringForm() const override { return std::to_string(fValue); }
  // Loading: the integer becomes the ordinal, unchecked and without Changed.
  bool GetValueFrom(const TBaseProperty* Source) override {
    if (!Source) return false;
    std::int32_t v = 0;
    const bool ok = Source->AsInt(v);
    fValue = v;
    return ok;
  }

 protected:
  TEnumProperty() = default;
  std::int32_t fValue = 0;
};

// An enumeration property of type T. Value() answers T(0xFF), which equals no identifier, for
// an ordinal that names no value.
template <class T>
class TEnum : public TEnumProperty {
 public:
  static constexpr std::span<const std::string_view> ValueNames() { return TEnumInfo<T>::Names; }

  std::string_view ClassName() const override { return TEnumInfo<T>::ClassName; }
  std::unique_ptr<TBaseProperty> NewInstance() const override { return std::make_unique<TEnum<T>>(); }
  TFrameUse FrameUse() const override { return FrameUseOf(*this); }
  std::span<const std::string_view> Names() const override { return ValueNames(); }

  T Value() const { return InRange() ? static_cast<T>(fValue) : static_cast<T>(0xFF); }
  void SetValue(T v) {
    fValue = static_cast<std::int32_t>(v);
    Changed();
  }
};

// ---- colour ------------------------------------------------------------------------------

// A colour as four unit channels. WinColor is the platform colour 0x00BBGGRR.
class TColor4 : public TContainerObject {
  QV_CONTAINER(TColor4, TContainerObject, ekColor)
 public:
  TZeroOneDouble* Red() const { return fRed; }
  TZeroOneDouble* Green() const { return fGreen; }
  TZeroOneDouble* Blue() const { return fBlue; }
  TZeroOneDouble* Alpha() const { return fAlpha; }

  // Each channel times 255 truncated (GetWinColor) or rounded halves to even (aswinColor),
  // limited to 0..255 so that a channel outside 0..1 cannot spill into its neighbours.
  std::uint32_t GetWinColor() const;
  std::uint32_t aswinColor() const;
  // Red, Green, Blue from the low three bytes and Alpha 1.0, in this order, through SetValue.
  void SetWinColor(std::uint32_t c);
  void SetVector(double x, double y, double z, double w);
  void SetVector(float r, float g, float b, float a);
  void SetVector(float r, float g, float b);
  std::array<float, 4> asVector() const;
  std::array<float, 3> asAffineVector() const;

 protected:
  TColor4() = default;

 private:
  TZeroOneDouble* fRed = nullptr;
  TZeroOneDouble* fGreen = nullptr;
  TZeroOneDouble* fBlue = nullptr;
  TZeroOneDouble* fAlpha = nullptr;
};

}  // namespace qv
