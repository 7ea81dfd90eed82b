#include "composition/TextRenderStyle.h"

namespace qv {

QV_PUBLISHED(TTextFont,
             QV_MEMBER("FontName", ffontname),
             QV_MEMBER("FontColor", fcolor),
             QV_MEMBER("FontSize", fsize))

QV_PUBLISHED(TShadow,
             QV_MEMBER("Enabled", fenabled),
             QV_MEMBER("Color", fcolor),
             QV_MEMBER("DeltaX", fdeltaX),
             QV_MEMBER("DeltaY", fdeltaY),
             QV_MEMBER("Blur", fblur),
             QV_MEMBER("Opacity", fopacity))

QV_PUBLISHED(TContour,
             QV_MEMBER("Enabled", fenabled),
             QV_MEMBER("Color", fcolor),
             QV_MEMBER("Size", fsize),
             QV_MEMBER("Opacity", fopacity))

void TTextFont::AfterConstruction() {
  TContainerObject::AfterConstruction();
  ffontname->SetValue("Tahoma");
  fcolor->SetWinColor(0xFFFFFF);
  fsize->SetMinMax(1, 768);
  fsize->SetValue(32);
}

void TShadow::AfterConstruction() {
  TContainerObject::AfterConstruction();
  fenabled->SetValue(true);
  // Colour: black with alpha 0, the colour's own start.
  fdeltaX->SetMinMax(-50, 50);
  fdeltaX->SetValue(3);
  fdeltaY->SetMinMax(-50, 50);
  fdeltaY->SetValue(3);
  fblur->SetMinMax(0, 10);
  fblur->SetValue(2);
  fopacity->SetMinMax(0, 255);
  fopacity->SetValue(255);
}

void TContour::AfterConstruction() {
  TContainerObject::AfterConstruction();
  fenabled->SetValue(true);
  fsize->SetMinMax(0, 10);
  fsize->SetValue(2);
  fopacity->SetMinMax(0, 255);
  fopacity->SetValue(255);
}

}  // namespace qv
