#pragma once
// The Qt text renderer the benchmarks draw with: one for the whole qvbench process, made on the
// main thread the first time a benchmark needs it and installed for every rasterisation.
#include "composition/TextRender.h"
#include "platform/QtTextRenderer.h"

namespace qvbench {

inline const qv::TQtTextRenderer& BenchTextRenderer() {
  static const qv::TQtTextRenderer* renderer = [] {
    auto* r = new qv::TQtTextRenderer();  // lives as long as the process, like the application
    qv::SetTextRenderer(r);
    return r;
  }();
  return *renderer;
}

}  // namespace qvbench
