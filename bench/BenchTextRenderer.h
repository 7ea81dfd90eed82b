#pragma once
// The Qt text renderer the benchmarks draw with: one for the whole qvbench process, made on the
// main thread the first time a benchmark needs it.
#include "composition/TextRender.h"
#include "platform/QtTextRenderer.h"

namespace qvbench {

inline const qv::TQtTextRenderer& BenchTextRenderer() {
  // Lives as long as the process, like the application.
  static const qv::TQtTextRenderer* renderer = new qv::TQtTextRenderer();
  return *renderer;
}

}  // namespace qvbench
