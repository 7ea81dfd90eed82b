// Frame evaluation of a layer-sized property tree against the same tracks evaluated by hand.
// The ratio is what the generic binding (registry lookups for every property, change checks,
// notification up the tree) costs over a layer that would hard-wire its animated fields.
#include <benchmark/benchmark.h>

#include "Ratio.h"
#include "animation/AnimationManager.h"
#include "model/BasicTypes.h"
#include "model/MathLib.h"

namespace {

using namespace qv;

class TBenchFont : public TContainerObject {
  QV_CONTAINER(TBenchFont, TContainerObject)
 public:
  TDouble* fsize = nullptr;
  TColor4* fcolor = nullptr;
  TString* fname = nullptr;
  TBoolean* fbold = nullptr;

 protected:
  TBenchFont() = default;
};

// The members of a text layer: its own, then those every layer has.
class TBenchLayer : public TContainerObject {
  QV_CONTAINER(TBenchLayer, TContainerObject)
 public:
  TString *ftext = nullptr, *fname = nullptr;
  TEnum<TTextSource>* fsource = nullptr;
  TEnum<THTextAlig>* fhalign = nullptr;
  TEnum<TVTextAlig>* fvalign = nullptr;
  TEnum<TTextDirection>* fdir = nullptr;
  TInteger *fmaxw = nullptr, *fx = nullptr, *fy = nullptr, *fw = nullptr, *fh = nullptr, *fin = nullptr,
           *fdur = nullptr;
  TBenchFont *ffont = nullptr, *fshadow = nullptr, *fcontour = nullptr;
  TBoolean* fvisible = nullptr;
  TMinMaxInteger* fopacity = nullptr;

 protected:
  TBenchLayer() = default;
  void AfterConstruction() override { fopacity->SetMinMax(0, 255); }
};

}  // namespace

QV_PUBLISHED(TBenchFont,
             QV_MEMBER("FontName", fname),
             QV_MEMBER("FontSize", fsize),
             QV_MEMBER("Bold", fbold),
             QV_MEMBER("Color", fcolor))

QV_PUBLISHED(TBenchLayer,
             QV_MEMBER("Text", ftext),
             QV_MEMBER("TextSource", fsource),
             QV_MEMBER("HorizontalAlignment", fhalign),
             QV_MEMBER("VerticalAlignment", fvalign),
             QV_MEMBER("MaxWidth", fmaxw),
             QV_MEMBER("Font", ffont),
             QV_MEMBER("Shadow", fshadow),
             QV_MEMBER("Contour", fcontour),
             QV_MEMBER("TextDirection", fdir),
             QV_MEMBER("layerName", fname),
             QV_MEMBER("Visible", fvisible),
             QV_MEMBER("Opacity", fopacity),
             QV_MEMBER("X", fx),
             QV_MEMBER("Y", fy),
             QV_MEMBER("Width", fw),
             QV_MEMBER("Height", fh),
             QV_MEMBER("LayerIN", fin),
             QV_MEMBER("Duration", fdur))

namespace {

void Fill(Tkeys& k, double a, double b) {
  k.AddKey(0.0, a);
  k.AddKey(50.0, b);
  k.AddKey(100.0, a);
}

void BM_SetFrameLayer(benchmark::State& state) {
  // The layer's tracks are kept by its page's registry, as a layer on a page has them.
  TAnimationManager registry;
  const TPageServices page{&registry, nullptr};
  auto layer = Make<TBenchLayer>();
  layer->AttachPage(&page);
  Fill(*layer->fopacity->Animation(true), 0, 255);
  Fill(*layer->fx->Animation(true), 0, 400);
  Fill(*layer->ffont->fsize->Animation(true), 10, 40);
  Fill(*layer->ffont->fcolor->Red()->Animation(true), 0, 1);
  int changes = 0;
  layer->AddChangeNotify(&changes, [&](TBaseProperty*, void*, const std::string&, std::int32_t) { ++changes; });
  int f = 0;
  for (auto _ : state) {
    layer->SetFrame(f);
    f = (f + 1) % 100;
  }
  benchmark::DoNotOptimize(changes);
}

// The same four tracks and values in plain fields, with the same change checks.
void BM_SetFrameDirect(benchmark::State& state) {
  Tkeys opacity, x, size, red;
  Fill(opacity, 0, 255);
  Fill(x, 0, 400);
  Fill(size, 10, 40);
  Fill(red, 0, 1);
  std::int32_t vOpacity = 0, vX = 0;
  double vSize = 0, vRed = 0;
  int changes = 0;
  int f = 0;
  for (auto _ : state) {
    const std::int32_t o = RoundToInt32(opacity.LinearKeyframe(f));
    if (o != vOpacity) vOpacity = o, ++changes;
    const std::int32_t xx = RoundToInt32(x.LinearKeyframe(f));
    if (xx != vX) vX = xx, ++changes;
    const double s = size.LinearKeyframe(f);
    if (s != vSize) vSize = s, ++changes;
    const double r = red.LinearKeyframe(f);
    if (r != vRed) vRed = r, ++changes;
    benchmark::ClobberMemory();
    f = (f + 1) % 100;
  }
  benchmark::DoNotOptimize(changes);
}

BENCHMARK(BM_SetFrameLayer);
BENCHMARK(BM_SetFrameDirect);
QV_RATIO(setframe_layer_vs_direct_tracks, "BM_SetFrameLayer", "BM_SetFrameDirect");

}  // namespace
