#pragma once
// The text layer: one line of text with a font, a colour, a soft shadow and a contour, placed by
// an anchor point and two alignments. Its text is typed or taken from one of the composition's
// metadata slots. The image is rendered when a property it depends on changes; a frame only
// blends it.
#include "composition/QvSystem.h"
#include "composition/TextRender.h"
#include "composition/TextRenderStyle.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qv {

class TTextLayer : public TLayer {
  QV_CONTAINER(TTextLayer, TLayer)

 public:
  ~TTextLayer() override;

  // The rendered text with its margins (HotSpotX/Y = Dx/DY); none before the first rendering and
  // when the text could not be rendered (larger than a bitmap may be, or no renderer installed).
  std::unique_ptr<TmemoryBitmap> Image;
  std::int32_t Dx = 0;  // horizontal margin of Image around the text
  std::int32_t DY = 0;  // vertical margin

  // Renders Image again from the current values and stores the text's size without margins in
  // Width and Height (a derived size: notified, no keyframe side). When every input is as at the last rendering the image is kept: the result
  // and the notifications of Width and Height are the same, only the work is saved. The image of
  // the text shown before, in the same style, is kept too and taken back when that text returns
  // (a clock that starts again at a batch's next row, a headline that changes back). With no
  // text renderer installed there is no image and Width and Height stay as they are.
  void DrawText();
  // Takes the text from the metadata slot named by TextSource, when that slot is not empty.
  void Advance(double frame) override;
  // Blends Image at BoundsRect.
  void DrawLayer(TmemoryBitmap& Dest, double frame) override;
  // The area Image covers: the text placed by the alignments around (X, Y), plus the margins.
  TRect BoundsRect() const override;
  // The red anchor cross, when this layer is the selected one.
  void DrawEditor(TmemoryBitmap& bmp, TCanvas& Canvas) override;
  // Renders the image for the values just read from a project file.
  void CloseObject() override;
  std::optional<std::string> ShownText() const override { return Text(); }

  // How many times the image was actually rasterised (not kept).
  std::uint64_t RenderCount() const { return fRenderCount; }

  const std::string& Text() const { return ftext->Value(); }
  TTextSource TextSource() const { return fsource->Value(); }
  THTextAlig HorizontalAlignment() const { return fhoriz->Value(); }
  TVTextAlig VerticalAlignment() const { return fvert->Value(); }
  std::int32_t MaxWidth() const { return fmax->Value(); }
  TTextDirection TextDirection() const { return fdir->Value(); }
  void SetText(const std::string& v) { ftext->SetValue(v); }
  void SetTextSource(TTextSource v) { fsource->SetValue(v); }
  void SetHorizontalAlignment(THTextAlig v) { fhoriz->SetValue(v); }
  void SetVerticalAlignment(TVTextAlig v) { fvert->SetValue(v); }
  void SetMaxWidth(std::int32_t v) { fmax->SetValue(v); }
  void SetTextDirection(TTextDirection v) { fdir->SetValue(v); }

  TString& TextProperty() const { return *ftext; }
  TEnum<TTextSource>& TextSourceProperty() const { return *fsource; }
  TEnum<THTextAlig>& HorizontalAlignmentProperty() const { return *fhoriz; }
  TEnum<TVTextAlig>& VerticalAlignmentProperty() const { return *fvert; }
  TInteger& MaxWidthProperty() const { return *fmax; }
  TEnum<TTextDirection>& TextDirectionProperty() const { return *fdir; }
  TTextFont& Font() const { return *ffont; }
  TShadow& Shadow() const { return *fshadow; }
  TContour& Contour() const { return *fcontour; }

 protected:
  explicit TTextLayer(TQVSystem* Aowner) : TLayer(Aowner) {}
  // Font "Tahoma" 32 white, MaxWidth 0, re-rendering on changes of MaxWidth, Font, Text, Shadow,
  // Contour and TextDirection; Text "Text"; centred in the composition.
  void AfterConstruction() override;

 private:
  // The metadata slot TextSource names, or none.
  const std::string* SourceText() const;

  TEnum<TVTextAlig>* fvert = nullptr;
  TEnum<THTextAlig>* fhoriz = nullptr;
  TInteger* fmax = nullptr;
  TEnum<TTextSource>* fsource = nullptr;
  TString* ftext = nullptr;
  TShadow* fshadow = nullptr;
  TContour* fcontour = nullptr;
  TEnum<TTextDirection>* fdir = nullptr;
  TTextFont* ffont = nullptr;

  // What Image was rendered from (the renderer is the composition's for good).
  TTextImageParams fRendered;
  // The image of the text shown before, with its margins and what it was rendered from; none
  // when the style has changed since.
  struct TEarlierImage {
    TTextImageParams Params;
    std::unique_ptr<TmemoryBitmap> Image;
    std::int32_t Dx = 0, DY = 0;
  };
  TEarlierImage fEarlier;
  std::uint64_t fRenderCount = 0;
};

}  // namespace qv
