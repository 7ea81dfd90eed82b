#pragma once
// Blur kernels and their builders. The blur itself is TmemoryBitmap::GaussianBlur (Bitmap.h);
// its row and column passes are the ConvolveRow / ConvolveColumn kernels of RowKernels.h.
#include <cstdint>

namespace qv {

// A map from byte to byte, applied to results of the blur's vertical pass.
struct TTable {
  std::uint8_t v[256] = {};
  std::uint8_t& operator[](int i) { return v[i]; }
  std::uint8_t operator[](int i) const { return v[i]; }
};

// Blur kernel of radius Size: 2 * Size + 1 taps indexed -Size..Size. Weights are real, IWeights
// the integer weights 0..255 the convolution uses, one word per byte lane (blue, green, red,
// alpha), all four equal when made by the builders. Arrays hold indices -100..100 at [j + 100].
struct TKernel {
  static constexpr int MaxSize = 100;
  // 1..100 after a build; 0 marks an empty kernel (sigma or radius 0) that blurs nothing.
  int Size = 0;
  double Weights[2 * MaxSize + 1] = {};
  std::uint16_t IWeights[2 * MaxSize + 1][4] = {};

  double& Weight(int j) { return Weights[j + MaxSize]; }
  double Weight(int j) const { return Weights[j + MaxSize]; }
  std::uint16_t* IWeight(int j) { return IWeights[j + MaxSize]; }
  const std::uint16_t* IWeight(int j) const { return IWeights[j + MaxSize]; }
};

// Gaussian of deviation sigma, cut where the discarded tails reach c / (2b); integer weights are
// the real weights times 255, rounded half to even. Sigma <= 0 (or not a number) gives the empty
// kernel (Size 0): a blur with it changes nothing.
void BuildGaussianKernel(TKernel& K, double sigma, double b, double c);

// Nearly flat bell of radius r (exp(-j^2 / (2 pi r^2))), integer weights truncated. r <= 0 gives
// the empty kernel (Size 0); r above 100 is taken as 100.
void BuildRadiusKernel(TKernel& K, int r);

}  // namespace qv
