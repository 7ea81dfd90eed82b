#pragma once
// The style groups of text, clock and crawl layers: the font (face, colour, size), the soft
// shadow and the contour. Each is a container of editable properties that the grid shows as a
// group and the project file stores as a nested block.
#include "model/BaseLib.h"
#include "model/BasicTypes.h"

#include <cstdint>
#include <string>

namespace qv {

// The grid edits a font group with the font dialog (and its members in nested rows).
class TTextFont;
template <>
struct TEditorKindClass<TEditorKind::ekFont> {
  using type = TTextFont;
};

class TTextFont : public TContainerObject {
  QV_CONTAINER(TTextFont, TContainerObject, ekFont)

 public:
  const std::string& FontName() const { return ffontname->Value(); }
  std::int32_t FontSize() const { return fsize->Value(); }
  // The colour as a platform colour 0x00BBGGRR, channels rounded.
  std::uint32_t FontColor() const { return fcolor->aswinColor(); }
  void SetFontName(const std::string& v) { ffontname->SetValue(v); }
  void SetFontSize(std::int32_t v) { fsize->SetValue(v); }

  TString& FontNameProperty() const { return *ffontname; }
  TColor4& FontColorProperty() const { return *fcolor; }
  TMinMaxInteger& FontSizeProperty() const { return *fsize; }

 protected:
  TTextFont() = default;
  // "Tahoma", white, 32 points in 1..768: what every layer that owns a font starts with.
  void AfterConstruction() override;

 private:
  TColor4* fcolor = nullptr;
  TMinMaxInteger* fsize = nullptr;
  TString* ffontname = nullptr;
};

class TShadow : public TContainerObject {
  QV_CONTAINER(TShadow, TContainerObject)

 public:
  bool Enabled() const { return fenabled->Value(); }
  std::uint32_t Color() const { return fcolor->aswinColor(); }  // 0x00BBGGRR
  std::int32_t DeltaX() const { return fdeltaX->Value(); }
  std::int32_t DeltaY() const { return fdeltaY->Value(); }
  std::int32_t Blur() const { return fblur->Value(); }
  std::int32_t Opacity() const { return fopacity->Value(); }
  void SetEnabled(bool v) { fenabled->SetValue(v); }
  void SetDeltaX(std::int32_t v) { fdeltaX->SetValue(v); }
  void SetDeltaY(std::int32_t v) { fdeltaY->SetValue(v); }
  void SetBlur(std::int32_t v) { fblur->SetValue(v); }
  void SetOpacity(std::int32_t v) { fopacity->SetValue(v); }

  TBoolean& EnabledProperty() const { return *fenabled; }
  TColor4& ColorProperty() const { return *fcolor; }
  TMinMaxInteger& DeltaXProperty() const { return *fdeltaX; }
  TMinMaxInteger& DeltaYProperty() const { return *fdeltaY; }
  TMinMaxInteger& BlurProperty() const { return *fblur; }
  TMinMaxInteger& OpacityProperty() const { return *fopacity; }

 protected:
  TShadow() = default;
  // Enabled, black, offset (3, 3), blur 2, opacity 255.
  void AfterConstruction() override;

 private:
  TBoolean* fenabled = nullptr;
  TColor4* fcolor = nullptr;
  TMinMaxInteger* fdeltaX = nullptr;
  TMinMaxInteger* fdeltaY = nullptr;
  TMinMaxInteger* fblur = nullptr;
  TMinMaxInteger* fopacity = nullptr;
};

class TContour : public TContainerObject {
  QV_CONTAINER(TContour, TContainerObject)

 public:
  bool Enabled() const { return fenabled->Value(); }
  std::uint32_t Color() const { return fcolor->aswinColor(); }  // 0x00BBGGRR
  std::int32_t Size() const { return fsize->Value(); }
  std::int32_t Opacity() const { return fopacity->Value(); }
  void SetEnabled(bool v) { fenabled->SetValue(v); }
  void SetSize(std::int32_t v) { fsize->SetValue(v); }
  void SetOpacity(std::int32_t v) { fopacity->SetValue(v); }

  TBoolean& EnabledProperty() const { return *fenabled; }
  TColor4& ColorProperty() const { return *fcolor; }
  TMinMaxInteger& SizeProperty() const { return *fsize; }
  TMinMaxInteger& OpacityProperty() const { return *fopacity; }

 protected:
  TContour() = default;
  // Enabled, black, size 2, opacity 255.
  void AfterConstruction() override;

 private:
  TBoolean* fenabled = nullptr;
  TColor4* fcolor = nullptr;
  TMinMaxInteger* fsize = nullptr;
  TMinMaxInteger* fopacity = nullptr;
};

}  // namespace qv
