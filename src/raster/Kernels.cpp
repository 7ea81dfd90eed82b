// Chooses the row-kernel variant once, from the CPU's features.
#include "raster/MMXBlend.h"

namespace qv {

const TRowKernels* KernelsSse2() { return nullptr; }
const TRowKernels* KernelsAvx2() { return nullptr; }

const TRowKernels& Kernels() {
  static const TRowKernels* chosen = [] {
    if (const TRowKernels* k = KernelsAvx2()) return k;
    if (const TRowKernels* k = KernelsSse2()) return k;
    return &KernelsScalar();
  }();
  return *chosen;
}

}  // namespace qv
