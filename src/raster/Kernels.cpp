// Chooses the row-kernel variant once, from the CPU's features.
#include "raster/RowKernels.h"

namespace qv {

const TRowKernels* KernelsAvx2Table();    // kernels_avx2.cpp
const TRowKernels* KernelsAvx512Table();  // kernels_avx512.cpp

const TRowKernels* KernelsAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has ? KernelsAvx2Table() : nullptr;
}

const TRowKernels* KernelsAvx512() {
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  return has ? KernelsAvx512Table() : nullptr;
}

const TRowKernels& Kernels() {
  static const TRowKernels* chosen = [] {
    if (const TRowKernels* k = KernelsAvx512()) return k;
    if (const TRowKernels* k = KernelsAvx2()) return k;
    return KernelsSse2();
  }();
  return *chosen;
}

}  // namespace qv
