#include "raster/GaussianBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/Bitmap.h"
#include "raster/RowKernels.h"

namespace qv {

namespace {
void MakeEmptyKernel(TKernel& K) {
  K = TKernel{};
  K.Size = 0;
  K.Weight(0) = 1.0;
  for (int c = 0; c < 4; ++c) K.IWeight(0)[c] = 255;
}

void SetIWeight(TKernel& K, int j, double v) {
  // Weights are at most 1, so v is in 0..255; clamp anyway so the kernels' 0..255 rule holds.
  const double c = std::clamp(v, 0.0, 255.0);
  for (int l = 0; l < 4; ++l) K.IWeight(j)[l] = std::uint16_t(c);
}
}  // namespace

void BuildGaussianKernel(TKernel& K, double sigma, double b, double c) {
  if (!(sigma > 0) || !std::isfinite(sigma)) {
    MakeEmptyKernel(K);
    return;
  }
  const int M = TKernel::MaxSize;
  double sum = 0;
  for (int j = -M; j <= M; ++j) {
    const double x = j / sigma;
    K.Weight(j) = std::exp(-(x * x) / 2);
    sum += K.Weight(j);
  }
  for (int j = -M; j <= M; ++j) K.Weight(j) /= sum;

  const double threshold = c / (2 * b);
  int k = M;
  double tail = 0;
  while (tail < threshold && k > 1) {
    tail += 2 * K.Weight(k);
    --k;
  }
  K.Size = k;

  sum = 0;
  for (int j = -k; j <= k; ++j) sum += K.Weight(j);
  for (int j = -k; j <= k; ++j) K.Weight(j) /= sum;
  for (int j = -k; j <= k; ++j) SetIWeight(K, j, std::nearbyint(K.Weight(j) * 255));  // halves to even
}

void BuildRadiusKernel(TKernel& K, int r) {
  if (r <= 0) {
    MakeEmptyKernel(K);
    return;
  }
  r = std::min(r, TKernel::MaxSize);
  K = TKernel{};
  const double pi = 3.141592653589793;
  const double a = -1.0 / (r * 2 * pi * r);
  double sum = 0;
  for (int j = -r; j <= r; ++j) {
    K.Weight(j) = std::exp(a * j * j);
    sum += K.Weight(j);
  }
  for (int j = -r; j <= r; ++j) K.Weight(j) /= sum;
  K.Size = r;
  for (int j = -r; j <= r; ++j) SetIWeight(K, j, std::trunc(K.Weight(j) * 255));
}

void TmemoryBitmap::GaussianBlur(const TKernel& K) { Blur(K, nullptr); }

void TmemoryBitmap::GaussianBlurTable(const TKernel& K, const TTable& Table) { Blur(K, &Table); }

void TmemoryBitmap::Blur(const TKernel& K, const TTable* Table) {
  const int s = std::clamp(K.Size, 0, TKernel::MaxSize);
  if (s == 0 || !Bits) return;
  const int W = fwidth, H = fheight, taps = 2 * s + 1;
  // Weights in tap order, each word limited to the 0..255 the kernels assume.
  std::uint16_t w[(2 * TKernel::MaxSize + 1) * 4];
  for (int t = 0; t < taps; ++t)
    for (int c = 0; c < 4; ++c) w[4 * t + c] = std::min<std::uint16_t>(K.IWeight(t - s)[c], 255);

  // The temporary: every pixel the horizontal pass does not write (the first and last s columns,
  // or everything when the bitmap is too narrow) is zero.
  TmemoryBitmap tmp;
  tmp.Resize(W, H, W <= 2 * s);
  const TRowKernels& k = Kernels();
  const std::size_t stride = std::size_t(W) * 4;
  if (W > 2 * s) {
    for (int y = 0; y < H; ++y) {
      std::uint8_t* row = tmp.PixelPtr(0, y);
      std::memset(row, 0, std::size_t(s) * 4);
      std::memset(row + stride - std::size_t(s) * 4, 0, std::size_t(s) * 4);
      k.ConvolveRow(PixelPtr(0, y), row + std::size_t(s) * 4, W - 2 * s, taps, w);
    }
  }
  if (H > 2 * s) {
    for (int y = 0; y < H - 2 * s; ++y) {
      if (Table)
        k.ConvolveColumnTable(tmp.PixelPtr(0, y), PixelPtr(0, y + s), W, std::ptrdiff_t(stride), taps, w, *Table);
      else
        k.ConvolveColumn(tmp.PixelPtr(0, y), PixelPtr(0, y + s), W, std::ptrdiff_t(stride), taps, w);
    }
  }
}

}  // namespace qv
