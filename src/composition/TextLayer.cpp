#include "composition/TextLayer.h"

#include <algorithm>
#include <new>
#include <stdexcept>

namespace qv {

QV_PUBLISHED(TTextLayer,
             QV_MEMBER("Text", ftext),
             QV_MEMBER("TextSource", fsource),
             QV_MEMBER("HorizontalAlignment", fhoriz),
             QV_MEMBER("VerticalAlignment", fvert),
             QV_MEMBER("MaxWidth", fmax),
             QV_MEMBER("Font", ffont),
             QV_MEMBER("Shadow", fshadow),
             QV_MEMBER("Contour", fcontour),
             QV_MEMBER("TextDirection", fdir))

namespace {

std::int32_t Saturate(std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

// Whether two renderings differ at most in their text.
bool SameStyle(const TTextImageParams& a, const TTextImageParams& b) {
  TTextImageParams other = a;
  other.Text = b.Text;
  return other == b;
}

}  // namespace

void TTextLayer::AfterConstruction() {
  TLayer::AfterConstruction();
  IconIndex = 2;
  // The font's face, colour and size start as "Tahoma", white, 32 in 1..768 (TTextFont).
  fmax->SetValue(0);
  auto render = [this](TBaseProperty*, void*, const std::string&, std::int32_t) { DrawText(); };
  for (TBaseProperty* p : std::initializer_list<TBaseProperty*>{fmax, ffont, ftext, fshadow, fcontour, fdir}) {
    p->AddChangeNotify(this, render);
  }
  ftext->SetValue("Text");
  fx->SetValue(Saturate((std::int64_t(owner->fwidth) - Width()) / 2));
  fy->SetValue(Saturate((std::int64_t(owner->fheight) - Height()) / 2));
}

TTextLayer::~TTextLayer() {
  for (TBaseProperty* p : std::initializer_list<TBaseProperty*>{fmax, ffont, ftext, fshadow, fcontour, fdir}) {
    p->RemoveChangeNotify(this);
  }
}

void TTextLayer::DrawText() {
  const TTextRenderer* renderer = owner->TextRenderer();
  if (renderer == nullptr) {
    // A program that only reads and writes projects need not install one: the layer keeps the
    // size it has (as read from the file) and shows nothing.
    Image.reset();
    Dx = DY = 0;
    return;
  }
  TTextImageParams p = TTextImageParams::Make(Text(), fshadow, fcontour, 4, ffont->FontName(), ffont->FontSize(),
                                              TextDirection() == tdRighttoLeft ? TReadingOrder::roRightToLeft
                                                                               : TReadingOrder::roLeftToRight,
                                              ffont->FontColor(), false, MaxWidth());
  if (Image && p == fRendered) {
    // kept
  } else if (fEarlier.Image && p == fEarlier.Params) {
    std::swap(Image, fEarlier.Image);
    std::swap(fRendered, fEarlier.Params);
    std::swap(Dx, fEarlier.Dx);
    std::swap(DY, fEarlier.DY);
  } else {
    if (Image && SameStyle(p, fRendered)) {
      fEarlier = {std::move(fRendered), std::move(Image), Dx, DY};
    } else {
      fEarlier = {};
    }
    Image.reset();
    try {
      int dx = 0;
      int dy = 0;
      Image = RenderTextImage(*renderer, p, dx, dy);
      Dx = dx;
      DY = dy;
      fRendered = std::move(p);
      ++fRenderCount;
    } catch (const std::length_error&) {
      // Wider or taller than a bitmap may be: the layer shows nothing.
      Dx = DY = 0;
    } catch (const std::bad_alloc&) {
      Dx = DY = 0;
    }
  }
  StoreDerivedSize(Image ? Image->Width() - 2 * Dx : 0, Image ? Image->Height() - 2 * DY : 0);
}

const std::string* TTextLayer::SourceText() const {
  const std::int32_t s = fsource->Ordinal();
  if (s >= tsMeta1 && s <= tsMeta4) return &owner->Meta(s - tsMeta1);
  if (s >= tsNextMeta1 && s <= tsNextMeta4) return &owner->NextMeta(s - tsNextMeta1);
  return nullptr;  // tsNone, or an ordinal of no slot
}

void TTextLayer::Advance(double frame) {
  if (const std::string* meta = SourceText(); meta != nullptr && !meta->empty() && *meta != Text()) {
    SetText(*meta);
  }
}

void TTextLayer::DrawLayer(TmemoryBitmap& Dest, double frame) {
  if (Image) {
    const TRect r = BoundsRect();
    Dest.Blend(r.Left, r.Top, *Image, 0, 0, Image->Width(), Image->Height());
  }
}

TRect TTextLayer::BoundsRect() const {
  const std::int64_t x = X();
  const std::int64_t y = Y();
  const std::int64_t w = Width();
  const std::int64_t h = Height();
  std::int64_t left = x;
  switch (fhoriz->Ordinal()) {
    case haCenter: left = x - w / 2; break;
    case haRight: left = x - w; break;
    default: break;  // haLeft
  }
  std::int64_t top = y;
  switch (fvert->Ordinal()) {
    case vaCenter: top = y - h / 2; break;
    case vaBottom: top = y - h; break;
    default: break;  // vaTop
  }
  return {Saturate(left - Dx), Saturate(top - DY), Saturate(left + Dx + w), Saturate(top + DY + h)};
}

void TTextLayer::DrawEditor(TmemoryBitmap& bmp, TCanvas& Canvas) {
  if (owner->_SelectedLayer() != this) return;
  constexpr std::uint32_t red = 0xFF0000;  // the platform colour 255 in the bitmap's order
  const int x = X();
  const int y = Y();
  const int up = bmp.Height() / 32;
  const int side = bmp.Width() / 32;
  // Two one-pixel lines, each drawn from its first point up to (not including) its last.
  Canvas.FillRect({x, Saturate(std::int64_t(y) - up), Saturate(std::int64_t(x) + 1), Saturate(std::int64_t(y) + up)},
                  red, red);
  Canvas.FillRect({Saturate(std::int64_t(x) - side), y, Saturate(std::int64_t(x) + side), Saturate(std::int64_t(y) + 1)},
                  red, red);
}

void TTextLayer::CloseObject() { ftext->SetValue(ftext->Value()); }

}  // namespace qv
