#include "composition/Layer.h"

#include "composition/QvSystem.h"

#include <algorithm>
#include <climits>

namespace qv {

QV_PUBLISHED(TLayer,
             QV_MEMBER("layerName", fname),
             QV_MEMBER("Visible", fvisible),
             QV_MEMBER("Opacity", fopacity),
             QV_MEMBER("X", fx),
             QV_MEMBER("Y", fy),
             QV_MEMBER("Width", fw),
             QV_MEMBER("Height", fh),
             QV_MEMBER("LayerIN", flin),
             QV_MEMBER("Duration", flout))

TLayer::TLayer(TQVSystem* Aowner) : owner(Aowner) {
  if (owner != nullptr) AttachPage(owner->Page());
}

TLayer::~TLayer() = default;

void TLayer::AfterConstruction() {
  TContainerObject::AfterConstruction();
  fvisible->SetValue(true);
  fx->SetValue(0);
  fy->SetValue(0);
  fopacity->SetMinMax(0, 255);
  fopacity->SetValue(255);
  flin->SetValue(0);
  flin->Attributes.Exclude(paVisible);
  flout->SetValue(250);
  TPropertyAttributesSet hidden = flin->Attributes;
  hidden.Exclude(paVisible);
  flout->Attributes = hidden;
}

void TLayer::Draw(TmemoryBitmap& bmp, double frame) {
  bool continueDrawing = true;
  if (OnBeforeDraw) OnBeforeDraw(this, bmp, continueDrawing);
  if (continueDrawing) DrawLayer(bmp, frame);
  if (OnAfterDraw) OnAfterDraw(this, bmp);
}

TRect TLayer::BoundsRect() const {
  // Summed in 64 bits and saturated: a layer dragged to extreme values must not overflow.
  auto sum = [](std::int32_t a, std::int32_t b) {
    const std::int64_t s = std::int64_t(a) + b;
    return static_cast<int>(std::clamp<std::int64_t>(s, INT32_MIN, INT32_MAX));
  };
  return {X(), Y(), sum(X(), Width()), sum(Y(), Height())};
}

}  // namespace qv
