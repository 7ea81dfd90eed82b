#include "composition/LayerClasses.h"

#include "composition/ClockLayer.h"
#include "composition/ImageLayers.h"
#include "composition/QvSystem.h"
#include "composition/RollLayer.h"
#include "model/MathLib.h"

namespace qv {

namespace {

template <class L>
TLayer* Create(TQVSystem& sys) {
  return &sys.NewLayer<L>();
}

// One row per layer kind.
constexpr TLayerClass kLayerClasses[] = {
    {"TIMAGELAYER", &Create<TImageLayer>, false},
    {"TMULTIIMAGELAYER", &Create<TMultiImageLayer>, false},
    {"TTEXTLAYER", &Create<TTextLayer>, true},
    {"TROLLLAYER", &Create<TRollLayer>, true},
    {"TCLOCKLAYER", &Create<TClockLayer>, true},
};

}  // namespace

std::span<const TLayerClass> LayerClasses() { return kLayerClasses; }

TLayer* CreateLayerOfClass(TQVSystem& sys, std::string_view keyword) {
  for (const TLayerClass& c : kLayerClasses) {
    if (SameText(c.Keyword, keyword)) return c.Create(sys);
  }
  return nullptr;
}

bool LayerClassDrawsText(std::string_view keyword) {
  for (const TLayerClass& c : kLayerClasses) {
    if (SameText(c.Keyword, keyword)) return c.DrawsText;
  }
  return false;
}

}  // namespace qv
